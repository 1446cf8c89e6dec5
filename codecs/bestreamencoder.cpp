#include "codecs/bestreamencoder.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "codecs/reasons.h"
#include "codecs/resampler.h"
#include "formats/pcmlimits.h"

namespace zelph {

bool LoadBeLibrary(CodecLibraries& libraries, const std::string& file, BeStreamCalls& calls,
                   BEWRITEVBRHEADER* writeTag) {
    if (writeTag)
        return libraries.Load(file, {Bind("beInitStream", calls.init), Bind("beEncodeChunk", calls.encode),
                                     Bind("beDeinitStream", calls.deinit), Bind("beCloseStream", calls.close),
                                     Bind("beWriteVBRHeader", *writeTag)});
    return libraries.Load(file, {Bind("beInitStream", calls.init), Bind("beEncodeChunk", calls.encode),
                                 Bind("beDeinitStream", calls.deinit), Bind("beCloseStream", calls.close)});
}

namespace {

// An open library stream, closed exactly once whichever way the run ends.
class OpenStream {
public:
    OpenStream(const BeStreamCalls& calls, BE_CONFIG& config) : close_(calls.close) {
        if (calls.init(&config, &chunkSamples_, &mp3BufferSize_, &handle_) != BE_ERR_SUCCESSFUL) handle_ = nullptr;
    }
    ~OpenStream() {
        if (handle_) close_(handle_);
    }
    OpenStream(const OpenStream&) = delete;
    OpenStream& operator=(const OpenStream&) = delete;

    bool ok() const { return handle_ != nullptr && chunkSamples_ > 0; }
    HBE_STREAM handle() const { return handle_; }
    uint32_t chunkSamples() const { return chunkSamples_; }
    uint32_t mp3BufferSize() const { return mp3BufferSize_; }

private:
    BECLOSESTREAM close_;
    HBE_STREAM handle_ = nullptr;
    uint32_t chunkSamples_ = 0, mp3BufferSize_ = 0;
};

// Brings interleaved frames to the stream's channel count: stereo to mono
// is the mean of both channels (as `lame -m m` mixes), mono to stereo
// doubles the sample.
void MapChannels(const int16_t* in, std::size_t frames, int from, int to, std::vector<int16_t>& out) {
    for (std::size_t f = 0; f < frames; ++f, in += from) {
        if (to == 1) {
            out.push_back(static_cast<int16_t>((int32_t{in[0]} + in[from - 1]) / 2));
            continue;
        }
        out.push_back(in[0]);
        out.push_back(in[from - 1]);
    }
}

// The source's audio on its way to the library: read in blocks, mapped to
// the stream's channels, resampled when the rates differ, and queued until a
// whole chunk is there.
class PcmPipeline {
public:
    PcmPipeline(int sourceChannels, uint32_t sourceRate, const BeStreamShape& shape)
        : from_(sourceChannels), to_(shape.channels) {
        if (sourceRate != shape.rate) resampler_ = std::make_unique<Resampler>(sourceRate, shape.rate, to_);
    }
    bool ok() const { return !resampler_ || resampler_->ok(); }

    bool Add(const int16_t* frames, std::size_t count) {
        if (!resampler_) {
            MapChannels(frames, count, from_, to_, queue_);
            return true;
        }
        mapped_.clear();
        MapChannels(frames, count, from_, to_, mapped_);
        floats_.assign(mapped_.begin(), mapped_.end());
        for (float& s : floats_) s /= 32768.0f;
        resampled_.clear();
        if (!resampler_->Process(floats_.data(), count, resampled_)) return false;
        Queue();
        return true;
    }
    // Drains what the resampler still holds at the end of the input.
    bool Finish() {
        if (!resampler_) return true;
        resampled_.clear();
        if (!resampler_->Flush(resampled_)) return false;
        Queue();
        return true;
    }

    std::vector<int16_t>& queue() { return queue_; }

private:
    void Queue() {
        for (float s : resampled_)
            queue_.push_back(static_cast<int16_t>(std::clamp(std::lrint(s * 32768.0f), -32768L, 32767L)));
    }

    int from_, to_;
    std::unique_ptr<Resampler> resampler_;
    std::vector<int16_t> mapped_, queue_;
    std::vector<float> floats_, resampled_;
};

// Hands every whole chunk of the queue to the library (and, at the end, the
// rest as a shorter one) and writes what it gives.
bool EncodeQueued(const BeStreamCalls& calls, const OpenStream& stream, std::vector<int16_t>& queue, bool last,
                  std::vector<uint8_t>& mp3, ExclusiveFile& target) {
    std::size_t at = 0;
    while (queue.size() - at >= stream.chunkSamples() || (last && at < queue.size())) {
        const auto count = static_cast<uint32_t>(std::min<std::size_t>(stream.chunkSamples(), queue.size() - at));
        uint32_t produced = 0;
        if (calls.encode(stream.handle(), count, queue.data() + at, mp3.data(), &produced) != BE_ERR_SUCCESSFUL ||
            produced > mp3.size() || !target.WriteAll(mp3.data(), produced))
            return false;
        at += count;
    }
    queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

}  // namespace

bool EncodeWithBeStream(EngineRun& run, WavSource& source, ExclusiveFile& target, const BeStreamCalls& calls,
                        BE_CONFIG config, const BeStreamShape& shape) {
    const WaveHeader& header = source.header();
    const int sourceChannels = header.channels;
    if (!IsPcmFormat(header) || (sourceChannels != 1 && sourceChannels != 2) || header.bitsPerSample != 16)
        return false;
    if (shape.channels != 1 && shape.channels != 2) return false;

    OpenStream stream(calls, config);
    if (!stream.ok()) return false;
    PcmPipeline pipeline(sourceChannels, header.sampleRate, shape);
    if (!pipeline.ok()) return false;

    // One read holds as many frames as one chunk of the stream.
    const std::size_t framesPerRead = std::max<std::size_t>(stream.chunkSamples() / shape.channels, 1);
    std::vector<int16_t> block(framesPerRead * sourceChannels);
    std::vector<uint8_t> mp3(stream.mp3BufferSize());
    while (!source.atEnd()) {
        std::size_t got = 0;
        if (!source.Read(block.data(), block.size() * sizeof(int16_t), got) || got == 0) return false;
        const std::size_t frames = got / (sizeof(int16_t) * sourceChannels);
        if (!pipeline.Add(block.data(), frames) || !EncodeQueued(calls, stream, pipeline.queue(), false, mp3, target))
            return false;
        if (shape.progressFirst) run.Progress(source.bytesRead(), source.audioBytes());
        if (run.StopRequested()) return false;
        if (!shape.progressFirst) run.Progress(source.bytesRead(), source.audioBytes());
    }
    if (!pipeline.Finish() || !EncodeQueued(calls, stream, pipeline.queue(), true, mp3, target)) return false;

    // A flush the library refuses leaves the stream as encoded so far, which
    // is still a complete file; only a flush it gives must also be written.
    uint32_t produced = 0;
    if (calls.deinit(stream.handle(), mp3.data(), &produced) != BE_ERR_SUCCESSFUL) return true;
    return produced <= mp3.size() && target.WriteAll(mp3.data(), produced);
}

std::string BeStreamProblem(const WavSource& source, const ExclusiveFile& target, const std::string& library) {
    if (std::string problem = source.problem(); !problem.empty()) return problem;
    if (target.error() != 0) return WriteProblem(target.error());
    return "Plugins/" + library + " refused these settings or this audio";
}

}  // namespace zelph
