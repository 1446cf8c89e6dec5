#include "codecs/mp3decoder.h"

#include <mpg123.h>

#include <algorithm>
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

// libmpg123's entry points, taken by name from the loaded library only.
struct Mpg123Calls {
    decltype(&::mpg123_new) mpg123_new = nullptr;
    decltype(&::mpg123_delete) mpg123_delete = nullptr;
    decltype(&::mpg123_param2) mpg123_param2 = nullptr;
    decltype(&::mpg123_rates) mpg123_rates = nullptr;
    decltype(&::mpg123_format_none) mpg123_format_none = nullptr;
    decltype(&::mpg123_format) mpg123_format = nullptr;
    decltype(&::mpg123_open_feed) mpg123_open_feed = nullptr;
    decltype(&::mpg123_feed) mpg123_feed = nullptr;
    decltype(&::mpg123_decode_frame) mpg123_decode_frame = nullptr;
    decltype(&::mpg123_info2) mpg123_info2 = nullptr;
    decltype(&::mpg123_framepos) mpg123_framepos = nullptr;
    decltype(&::mpg123_framelength) mpg123_framelength = nullptr;
    decltype(&::mpg123_spf) mpg123_spf = nullptr;
    decltype(&::mpg123_getstate2) mpg123_getstate2 = nullptr;
    decltype(&::mpg123_strerror) mpg123_strerror = nullptr;
    decltype(&::mpg123_plain_strerror) mpg123_plain_strerror = nullptr;

    bool Load(CodecLibraries& libraries) {
        return libraries.Load("Mpg123.so", {Bind("mpg123_new", mpg123_new),
                                            Bind("mpg123_delete", mpg123_delete),
                                            Bind("mpg123_param2", mpg123_param2),
                                            Bind("mpg123_rates", mpg123_rates),
                                            Bind("mpg123_format_none", mpg123_format_none),
                                            Bind("mpg123_format", mpg123_format),
                                            Bind("mpg123_open_feed", mpg123_open_feed),
                                            Bind("mpg123_feed", mpg123_feed),
                                            Bind("mpg123_decode_frame", mpg123_decode_frame),
                                            Bind("mpg123_info2", mpg123_info2),
                                            Bind("mpg123_framepos", mpg123_framepos),
                                            Bind("mpg123_framelength", mpg123_framelength),
                                            Bind("mpg123_spf", mpg123_spf),
                                            Bind("mpg123_getstate2", mpg123_getstate2),
                                            Bind("mpg123_strerror", mpg123_strerror),
                                            Bind("mpg123_plain_strerror", mpg123_plain_strerror)});
    }
};

// A decoder handle fed by the engine, deleted on every path out.
class Mpg123Decoder {
public:
    explicit Mpg123Decoder(const Mpg123Calls& calls) : calls_(calls), handle_(calls.mpg123_new(nullptr, &status_)) {}
    ~Mpg123Decoder() { calls_.mpg123_delete(handle_); }
    Mpg123Decoder(const Mpg123Decoder&) = delete;
    Mpg123Decoder& operator=(const Mpg123Decoder&) = delete;

    // 32-bit samples at the stream's own rate and channels, for our dither;
    // the encoder's delay and padding are cut by the engine itself (the
    // library's own gapless cut also trims a stream that has only a frame
    // count); resynchronising after damage searches as far as it takes.
    // Empty, or why the decoder cannot be used.
    std::string Open() {
        if (!handle_) return "cannot start the MPEG audio decoder: " + std::string(calls_.mpg123_plain_strerror(status_));
        const long* rates = nullptr;
        std::size_t rateCount = 0;
        calls_.mpg123_rates(&rates, &rateCount);
        bool ok = calls_.mpg123_param2(handle_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) == MPG123_OK &&
                  calls_.mpg123_param2(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK &&
                  calls_.mpg123_param2(handle_, MPG123_RESYNC_LIMIT, -1, 0) == MPG123_OK &&
                  calls_.mpg123_format_none(handle_) == MPG123_OK;
        for (std::size_t i = 0; ok && i < rateCount; ++i)
            ok = calls_.mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_32) == MPG123_OK;
        if (!ok || calls_.mpg123_open_feed(handle_) != MPG123_OK)
            return "cannot start the MPEG audio decoder: " + std::string(calls_.mpg123_strerror(handle_));
        return {};
    }

    const Mpg123Calls& calls() const { return calls_; }
    mpg123_handle* handle() const { return handle_; }

private:
    const Mpg123Calls& calls_;
    int status_ = MPG123_OK;
    mpg123_handle* const handle_;
};

constexpr std::size_t kReadBytes = 40960;
constexpr std::size_t kBlockBytes = 65536;
constexpr uint32_t kFirstDitherSeed = 0xA8B9FF7E;

// Compressed input handed to the decoder in pieces; the decoder keeps what
// it has not used yet.
class Mp3Input {
public:
    // `start` is where the file has been read up to already.
    Mp3Input(ExclusiveFile& file, uint64_t start) : file_(file), size_(file.Size()), bytesRead_(start) {}

    uint64_t bytesRead() const { return bytesRead_; }
    uint64_t size() const { return size_; }

    // Hands the next bytes to the decoder: MPG123_DONE when the file has
    // no more, else how the decoder took them.
    int Feed(const Mpg123Decoder& decoder) {
        const std::size_t length = file_.Read(buffer_.data(), buffer_.size());
        if (length == 0) return MPG123_DONE;
        bytesRead_ += length;
        return decoder.calls().mpg123_feed(decoder.handle(), buffer_.data(), length);
    }

private:
    ExclusiveFile& file_;
    const uint64_t size_;
    uint64_t bytesRead_;
    std::array<unsigned char, kReadBytes> buffer_{};
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
// encoder put before and after it; the decoder's synthesis delays everything
// by another 529 samples. Without a LAME tag every sample is kept.
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
    // The part of `count` samples from `first` on that is kept, as offsets
    // into them: [from, to).
    std::pair<uint64_t, uint64_t> Kept(uint64_t first, uint64_t count) const {
        const uint64_t from = std::clamp(begin_, first, first + count);
        return {from - first, std::clamp(end_, from, first + count) - first};
    }
    bool Over(uint64_t sample) const { return sample >= end_; }
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

// The encoder's tag frame as the decoder read it in front of the first
// audio frame; empty fields where the stream has none.
EncoderInfoFrame TagBeforeTheAudio(const Mpg123Decoder& decoder) {
    const Mpg123Calls& calls = decoder.calls();
    long delay = -1;
    long padding = -1;
    calls.mpg123_getstate2(decoder.handle(), MPG123_ENC_DELAY, &delay, nullptr);
    calls.mpg123_getstate2(decoder.handle(), MPG123_ENC_PADDING, &padding, nullptr);
    EncoderInfoFrame info;
    if (delay < 0 || padding < 0) return info;
    info.delay = static_cast<uint32_t>(delay);
    info.padding = static_cast<uint32_t>(padding);
    // Only a tag frame's count is taken: without one the library guesses.
    const off_t frames = calls.mpg123_framelength(decoder.handle());
    if (frames > 0 && frames <= UINT32_MAX) info.frames = static_cast<uint32_t>(frames);
    return info;
}

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

// Bytes the decoder passed over between two frames it decoded, counted in
// frames the size of the one before: junk before the stream and tags after
// it have no good frame on both sides, so they are not damage.
class GapCount {
public:
    // `at` and `size` place the frame just decoded in the stream.
    uint64_t FramesBefore(off_t at, int size) {
        uint64_t frames = 0;
        if (lastSize_ > 0 && at > nextAt_) frames = (static_cast<uint64_t>(at - nextAt_) + lastSize_ - 1) / lastSize_;
        nextAt_ = at + size;
        lastSize_ = size > 0 ? static_cast<uint64_t>(size) : 1;
        return frames;
    }

private:
    off_t nextAt_ = 0;
    uint64_t lastSize_ = 0;
};

// One 32-bit sample of the decoder's output to the 28 fraction bits the
// dither works on.
int32_t FixedPointSample(const unsigned char* bytes) {
    int32_t sample;
    std::memcpy(&sample, bytes, sizeof sample);
    return sample >> 3;
}

// A mono sample in both channels.
std::pair<int16_t, int16_t> Doubled(int16_t sample) { return {sample, sample}; }

// Decodes every frame the input holds into `block`.
Outcome DecodeFrames(EngineRun& run, const Mpg123Decoder& decoder, Mp3Input& input, PcmBlock& block,
                     DecodeCount& count) {
    const Mpg123Calls& calls = decoder.calls();
    mpg123_handle* const handle = decoder.handle();
    uint32_t ditherSeed = kFirstDitherSeed;
    std::optional<SampleWindow> window;
    GapCount gaps;
    uint64_t sample = 0;
    while (true) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int status = calls.mpg123_decode_frame(handle, &frameNumber, &audio, &bytes);
        if (status == MPG123_NEED_MORE) {
            const int fed = input.Feed(decoder);
            if (fed == MPG123_DONE) return Outcome::Done();
            if (fed != MPG123_OK) return Outcome::Failed("MPEG audio decoder: " + std::string(calls.mpg123_strerror(handle)));
            continue;
        }
        if (status == MPG123_NEW_FORMAT) continue;
        if (status != MPG123_OK) return Outcome::Failed("MPEG audio decoder: " + std::string(calls.mpg123_strerror(handle)));
        mpg123_frameinfo2 frame{};
        calls.mpg123_info2(handle, &frame);
        count.skipped += gaps.FramesBefore(calls.mpg123_framepos(handle), frame.framesize);
        count.sampleRate = static_cast<uint32_t>(frame.rate);
        if (!window) {
            const EncoderInfoFrame info = TagBeforeTheAudio(decoder);
            count.samplesPerFrame = static_cast<uint32_t>(calls.mpg123_spf(handle));
            window = SampleWindow(info, count.samplesPerFrame);
            count.stated = SampleWindow::StatedLength(info, count.samplesPerFrame);
        }
        // Past the stated end only the encoder's padding may follow; more
        // frames mean the tag is damaged.
        if (window->Over(sample)) {
            ++count.beyondWindow;
            continue;
        }
        ++count.frames;
        const bool mono = frame.mode == MPG123_M_MONO;
        const std::size_t step = (mono ? 1 : 2) * sizeof(int32_t);
        const auto [from, to] = window->Kept(sample, bytes / step);
        sample += bytes / step;
        count.kept += to - from;
        for (std::size_t at = from * step; at < to * step; at += step) {
            const int32_t left = FixedPointSample(audio + at);
            const std::pair<int16_t, int16_t> pair =
                mono ? Doubled(DitherSample(left, &ditherSeed))
                     : DitherStereo(left, FixedPointSample(audio + at + sizeof(int32_t)), &ditherSeed);
            if (!block.Append(pair.first, pair.second)) return Outcome::Failed(block.problem());
            if (block.justWritten()) run.Progress(input.bytesRead(), input.size());
        }
        if (run.StopRequested()) return Outcome::Stopped();
    }
}

}  // namespace

void DecodeMp3(const Job& job, JobState& state) {
    EngineRun run(job, state);
    ExclusiveFile source(job.sourcePath, ExclusiveFile::kRead);
    if (!source.is_open()) return run.Fail(ReadProblem(job.sourcePath, source.error()));
    WavSink target(job.targetPath);
    if (!target.ok()) return run.Fail(target.problem());
    Mpg123Calls calls;
    CodecLibraries libraries;
    if (!calls.Load(libraries)) return run.Fail(libraries.error());

    Mp3Input input(source, SkipLeadingId3v2(source));
    PcmBlock block(target);
    DecodeCount count;
    Outcome outcome = Outcome::Done();
    {
        Mpg123Decoder decoder(calls);
        const std::string problem = decoder.Open();
        if (!problem.empty()) return run.Fail(problem);
        outcome = DecodeFrames(run, decoder, input, block, count);
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
