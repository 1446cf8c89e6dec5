#include "codecs/mp3decoder.h"

#include <mad.h>

#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "codecs/engine.h"
#include "codecs/reasons.h"
#include "codecs/libraryloader.h"
#include "codecs/pcmfiles.h"
#include "formats/encoderinfo.h"
#include "formats/exclusivefile.h"
#include "formats/mpafile.h"

namespace zelph {

namespace {

// libmad's entry points, taken by name from the loaded library only.
struct MadCalls {
    decltype(&::mad_synth_init) mad_synth_init = nullptr;
    decltype(&::mad_frame_init) mad_frame_init = nullptr;
    decltype(&::mad_frame_finish) mad_frame_finish = nullptr;
    decltype(&::mad_stream_init) mad_stream_init = nullptr;
    decltype(&::mad_stream_finish) mad_stream_finish = nullptr;
    decltype(&::mad_frame_decode) mad_frame_decode = nullptr;
    decltype(&::mad_synth_frame) mad_synth_frame = nullptr;
    decltype(&::mad_stream_buffer) mad_stream_buffer = nullptr;

    bool Load(CodecLibraries& libraries) {
        return libraries.Load("libMAD.so", {Bind("mad_synth_init", mad_synth_init),
                                            Bind("mad_frame_init", mad_frame_init),
                                            Bind("mad_frame_finish", mad_frame_finish),
                                            Bind("mad_stream_init", mad_stream_init),
                                            Bind("mad_stream_finish", mad_stream_finish),
                                            Bind("mad_frame_decode", mad_frame_decode),
                                            Bind("mad_synth_frame", mad_synth_frame),
                                            Bind("mad_stream_buffer", mad_stream_buffer)});
    }
};

// The decoder's library state, finished on every path out (a stopped run
// too, so that the stream's main-data buffer is never leaked).
struct MadState {
    explicit MadState(const MadCalls& mad) : mad(mad) {
        mad.mad_stream_init(&stream);
        mad.mad_frame_init(&frame);
        mad.mad_synth_init(&synth);
    }
    ~MadState() {
        mad.mad_frame_finish(&frame);
        mad.mad_stream_finish(&stream);
    }
    MadState(const MadState&) = delete;
    MadState& operator=(const MadState&) = delete;

    const MadCalls& mad;
    mad_stream stream{};
    mad_frame frame{};
    mad_synth synth{};
};

constexpr std::size_t kReadBytes = 40960;
constexpr std::size_t kBlockBytes = 8192;
constexpr uint32_t kFirstDitherSeed = 0xA8B9FF7E;

// Compressed input, refilled behind the bytes of a frame that the last
// buffer cut off. The end of the file is known from the bytes read against
// its size, so the guard that lets libmad decode the very last frame goes
// right behind the last data.
class Mp3Input {
public:
    // `start` is where the file has been read up to already.
    Mp3Input(ExclusiveFile& file, uint64_t start) : file_(file), size_(file.Size()), bytesRead_(start) {}

    uint64_t bytesRead() const { return bytesRead_; }
    uint64_t size() const { return size_; }

    // Hands the next bytes to the stream; false when the file has no more.
    bool Refill(const MadCalls& mad, mad_stream& stream) {
        std::size_t remaining = 0;
        if (stream.next_frame) {
            remaining = static_cast<std::size_t>(stream.bufend - stream.next_frame);
            std::memmove(buffer_.data(), stream.next_frame, remaining);
        }
        if (remaining >= kReadBytes) return false;
        std::size_t length = file_.Read(buffer_.data() + remaining, kReadBytes - remaining);
        if (length == 0) return false;
        bytesRead_ += length;
        if (bytesRead_ >= size_) {
            std::memset(buffer_.data() + remaining + length, 0, MAD_BUFFER_GUARD);
            length += MAD_BUFFER_GUARD;
        }
        mad.mad_stream_buffer(&stream, buffer_.data(), length + remaining);
        stream.error = MAD_ERROR_NONE;
        return true;
    }

private:
    ExclusiveFile& file_;
    const uint64_t size_;
    uint64_t bytesRead_;
    std::array<unsigned char, kReadBytes + MAD_BUFFER_GUARD> buffer_{};
};

// Interleaved 16-bit stereo PCM gathered into fixed blocks for the target.
class PcmBlock {
public:
    explicit PcmBlock(WavSink& sink) : sink_(sink) {}

    // False when the block was full and could not be written.
    bool Append(int16_t left, int16_t right) {
        PutSample(left);
        PutSample(right);
        if (used_ < kBlockBytes) return true;
        used_ = 0;
        return sink_.Write(bytes_.data(), kBlockBytes);
    }
    bool Flush() { return used_ == 0 || sink_.Write(bytes_.data(), used_); }
    bool justWritten() const { return used_ == 0; }
    std::string problem() const { return sink_.problem(); }

private:
    void PutSample(int16_t sample) {
        bytes_[used_++] = static_cast<uint8_t>(sample);
        bytes_[used_++] = static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8);
    }

    WavSink& sink_;
    std::array<uint8_t, kBlockBytes> bytes_{};
    std::size_t used_ = 0;
};

// A leading ID3v2 tag (or several) is stepped over: a cover picture can hold
// bytes that look like frames, and the encoder's info frame must be the
// first frame the decoder sees. Returns where the audio starts.
uint64_t SkipLeadingId3v2(ExclusiveFile& file) {
    const uint64_t size = file.Size();
    uint64_t begin = 0;
    for (;;) {
        uint8_t header[kId3HeaderSize];
        const std::size_t got = file.Read(header, sizeof header);
        const std::optional<uint64_t> length = Id3v2TagLength({header, got});
        // A tag that fills the file leaves no audio: its bytes are never decoded as frames.
        if (!length || begin + *length > size) break;
        begin += *length;
        if (!file.SeekTo(begin)) break;
    }
    return file.SeekTo(begin) ? begin : 0;
}

// The decoded samples that are music. A LAME tag states the silence the
// encoder put before and after it; libmad's synthesis delays everything by
// another 529 samples. Without a LAME tag every sample is kept.
class SampleWindow {
public:
    SampleWindow() = default;
    SampleWindow(const EncoderInfoFrame& info, uint32_t samplesPerFrame) {
        if (!info.frames || !info.delay || !info.padding) return;
        const uint64_t total = uint64_t{*info.frames} * samplesPerFrame;
        // A tag that would cut away everything is not believed.
        if (uint64_t{*info.delay} + *info.padding >= total) return;
        constexpr uint64_t kSynthesisDelay = 529;
        begin_ = *info.delay + kSynthesisDelay;
        end_ = total + kSynthesisDelay - *info.padding;
    }
    bool Keeps(uint64_t sample) const { return sample >= begin_ && sample < end_; }
    bool Over(uint64_t sample) const { return sample >= end_; }
    bool Limited() const { return end_ != UINT64_MAX; }
    // The music the tag states: its frames less the encoder's silence.
    static uint64_t StatedLength(const EncoderInfoFrame& info, uint32_t samplesPerFrame) {
        const uint64_t total = uint64_t{info.frames.value_or(0)} * samplesPerFrame;
        const uint64_t silence = uint64_t{info.delay.value_or(0)} + info.padding.value_or(0);
        return info.delay && info.padding && silence < total ? total - silence : total;
    }

private:
    uint64_t begin_ = 0;
    uint64_t end_ = UINT64_MAX;
};

// What a decode found besides the audio.
struct DecodeCount {
    uint32_t sampleRate = 0;
    uint64_t frames = 0;        // decoded into samples
    uint64_t kept = 0;          // samples written
    uint64_t skipped = 0;       // damaged frames passed over between good ones
    uint64_t beyondWindow = 0;  // frames after the end the encoder's tag states
    uint32_t samplesPerFrame = 0;
    uint64_t stated = 0;        // samples the encoder's tag states; 0: no tag
};

// Decodes every frame the input holds into `block`.
Outcome DecodeFrames(EngineRun& run, const MadCalls& mad, MadState& state, Mp3Input& input, PcmBlock& block,
                     DecodeCount& count) {
    uint32_t ditherSeed = kFirstDitherSeed;
    mad_stream& stream = state.stream;
    SampleWindow window;
    uint64_t sample = 0;
    bool firstFrame = true;
    // Lost sync counts as damage only when good frames stand on both sides:
    // junk before the stream and tags after it are not damage.
    uint64_t lostSync = 0;
    while (true) {
        if ((!stream.buffer || stream.error == MAD_ERROR_BUFLEN) && !input.Refill(mad, stream))
            return Outcome::Done();
        if (mad.mad_frame_decode(&state.frame, &stream) != 0) {
            // A damaged frame is skipped; BUFLEN asks for more input.
            if (stream.error == MAD_ERROR_BUFLEN) continue;
            if (!MAD_RECOVERABLE(stream.error)) return Outcome::Done();
            if (count.frames > 0) ++(stream.error == MAD_ERROR_LOSTSYNC ? lostSync : count.skipped);
            continue;
        }
        count.skipped += std::exchange(lostSync, 0);
        count.sampleRate = state.frame.header.samplerate;
        if (firstFrame) {
            firstFrame = false;
            const std::span<const uint8_t> bytes(stream.this_frame, stream.next_frame);
            count.samplesPerFrame = 32 * MAD_NSBSAMPLES(&state.frame.header);
            if (const std::optional<EncoderInfoFrame> info = ReadEncoderInfoFrame(bytes)) {
                window = SampleWindow(*info, count.samplesPerFrame);
                count.stated = SampleWindow::StatedLength(*info, count.samplesPerFrame);
                continue;  // it describes the stream and holds no music
            }
        }
        // Past the stated end only the encoder's padding may follow; more
        // frames mean the tag is damaged.
        if (window.Over(sample)) {
            ++count.beyondWindow;
            continue;
        }
        mad.mad_synth_frame(&state.synth, &state.frame);
        ++count.frames;
        const bool mono = state.frame.header.mode == MAD_MODE_SINGLE_CHANNEL;
        const mad_pcm& pcm = state.synth.pcm;
        for (unsigned i = 0; i < pcm.length; ++i) {
            if (!window.Keeps(sample++)) continue;
            ++count.kept;
            const int16_t left = DitherSample(pcm.samples[0][i], &ditherSeed);
            const int16_t right = mono ? left : DitherSample(pcm.samples[1][i], &ditherSeed);
            if (!block.Append(left, right)) return Outcome::Failed(block.problem());
            if (block.justWritten()) run.Progress(input.bytesRead(), input.size());
        }
        if (run.StopRequested()) return Outcome::Stopped();
    }
}

}  // namespace

int16_t DitherSample(int32_t sample, uint32_t* ditherSeed) {
    // 64-bit sums: a sample near the fixed-point limits clips instead of wrapping.
    int64_t value = static_cast<int64_t>(sample) + 4096;
    const uint32_t next = *ditherSeed * 1664525u + 1013904223u;
    value += static_cast<int64_t>(next & 0x1FFF) - static_cast<int64_t>(*ditherSeed & 0x1FFF);
    *ditherSeed = next;
    if (value >= 0x10000000)
        value = 0x0FFFFFFF;
    else if (value < -0x10000000)
        value = -0x10000000;
    return static_cast<int16_t>((value & ~int64_t{0x1FFF}) >> 13);
}

void DecodeMp3(const Job& job, JobState& state) {
    EngineRun run(job, state);
    ExclusiveFile source(job.sourcePath, ExclusiveFile::kRead);
    if (!source.is_open()) return run.Fail(ReadProblem(job.sourcePath, source.error()));
    WavSink target(job.targetPath);
    if (!target.ok()) return run.Fail(target.problem());
    MadCalls mad;
    CodecLibraries libraries;
    if (!mad.Load(libraries)) return run.Fail(libraries.error());

    Mp3Input input(source, SkipLeadingId3v2(source));
    PcmBlock block(target);
    DecodeCount count;
    Outcome outcome = Outcome::Done();
    {
        MadState state(mad);
        outcome = DecodeFrames(run, mad, state, input, block, count);
    }
    if (!run.GoesOn(outcome)) return;
    // A file without a single decodable frame is not a conversion.
    if (count.frames == 0) return run.Fail("not an MPEG audio stream");
    if (count.kept == 0) return run.Fail("damaged: no audio");
    if (count.beyondWindow > 1)
        return run.Fail("damaged: the stream goes on " + std::to_string(count.beyondWindow) +
                        " frames past the end its header states");
    if (!block.Flush() || !target.Finish(2, count.sampleRate, 16)) return run.Fail(target.problem());
    if (count.skipped > 0)
        run.Note("damaged: " + std::to_string(count.skipped) + (count.skipped == 1 ? " frame" : " frames") +
                 " skipped");
    // Decoders may differ by the last frame; more than that missing is audio lost.
    run.Note(EndsEarly(count.kept, count.stated, count.samplesPerFrame, count.sampleRate));
    run.Succeed();
}

const EngineDescriptor kDecMp3{"DECMP3", DecodeMp3};

}  // namespace zelph
