#include "core/applygain.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "codecs/engine.h"
#include "codecs/reasons.h"
#include "codecs/samplereduction.h"
#include "core/loudness.h"
#include "core/wavrewrite.h"
#include "formats/exclusivefile.h"
#include "formats/waveheader.h"
#include "settings/appliedgain.h"

namespace zelph {

namespace {

// Room left under full scale for the encoders' own overshoot.
constexpr double kCeilingDbtp = -1.0;
constexpr std::size_t kBlockFrames = 4096;
constexpr const char* kEndedEarly = "the WAV file ends before its audio does";

// One sample of the WAV's own form read as a fraction of full scale, and
// written back in that form: float stays float, integer samples are rounded
// with the WAV stage's TPDF dither.
class SampleCodec {
public:
    explicit SampleCodec(const WaveHeader& header)
        : bytes_(header.bitsPerSample / 8),
          float_(header.formatTag == kWaveFormatFloat),
          dither_(32 - std::min<int>(header.bitsPerSample, 32)) {}

    int bytes() const { return bytes_; }

    double Read(const uint8_t* at) const {
        if (float_) return bytes_ == 4 ? Load<float>(at) : Load<double>(at);
        if (bytes_ == 1) return (at[0] - 128) / 128.0;
        uint32_t wide = 0;
        for (int i = 0; i < bytes_; ++i) wide |= uint32_t{at[i]} << (8 * (4 - bytes_ + i));
        return static_cast<int32_t>(wide) / kFullScale;
    }

    void Write(double value, uint8_t* at) {
        if (float_) {
            if (bytes_ == 4) return Store(static_cast<float>(value), at);
            return Store(value, at);
        }
        const auto wide = static_cast<int32_t>(std::lrint(std::clamp(value * kFullScale, -kFullScale, kFullScale - 1)));
        const int32_t sample = bytes_ == 4 ? wide : dither_.Requantize(wide);
        if (bytes_ == 1) {
            at[0] = static_cast<uint8_t>(sample + 128);
            return;
        }
        for (int i = 0; i < bytes_; ++i) at[i] = static_cast<uint8_t>(static_cast<uint32_t>(sample) >> (8 * i));
    }

private:
    static constexpr double kFullScale = 2147483648.0;
    template <typename T>
    static T Load(const uint8_t* at) {
        T value;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    template <typename T>
    static void Store(T value, uint8_t* at) {
        std::memcpy(at, &value, sizeof value);
    }

    int bytes_;
    bool float_;
    TpdfDither dither_;
};

// The WAV's audio as it is read, block by block, through `codec`.
class AudioBlocks {
public:
    AudioBlocks(ExclusiveFile& file, const WaveFormat& format, SampleCodec& codec)
        : file_(file),
          codec_(codec),
          channels_(format.header.channels),
          frames_(format.audioBytes / format.header.blockAlign),
          bytes_(kBlockFrames * format.header.blockAlign),
          samples_(kBlockFrames * channels_) {}

    uint64_t frames() const { return frames_; }
    std::span<uint8_t> bytes() { return {bytes_.data(), count_ * channels_ * codec_.bytes()}; }
    std::span<double> samples() { return {samples_.data(), count_ * channels_}; }

    // The next block's samples, or false at the end or on a short read (`problem` set).
    bool Next(uint64_t& done, std::string& problem) {
        count_ = static_cast<std::size_t>(std::min<uint64_t>(kBlockFrames, frames_ - done));
        if (count_ == 0) return false;
        if (file_.Read(bytes_.data(), bytes().size()) != bytes().size()) {
            problem = kEndedEarly;
            return false;
        }
        for (std::size_t i = 0; i < samples().size(); ++i) samples_[i] = codec_.Read(&bytes_[i * codec_.bytes()]);
        done += count_;
        return true;
    }

private:
    ExclusiveFile& file_;
    SampleCodec& codec_;
    std::size_t channels_;
    uint64_t frames_;
    std::vector<uint8_t> bytes_;
    std::vector<double> samples_;
    std::size_t count_ = 0;
};

// The loudness and true peak of the WAV's audio, read from its first audio
// byte to its last.
bool Measure(EngineRun& run, AudioBlocks& audio, LoudnessMeter& meter) {
    std::vector<float> block;
    std::string problem;
    for (uint64_t done = 0; audio.Next(done, problem);) {
        block.assign(audio.samples().begin(), audio.samples().end());
        if (!meter.Add(block)) {
            run.Fail("the loudness meter refused the audio");
            return false;
        }
        run.Progress(done, 2 * audio.frames());
        if (run.StopRequested()) return false;
    }
    if (!problem.empty()) run.Fail(problem);
    return problem.empty();
}

// Writes `source`'s bytes before its audio as they are, its audio scaled by
// `factor`, then whatever follows the audio, into `target`.
bool WriteScaled(EngineRun& run, ExclusiveFile& source, uint32_t dataOffset, AudioBlocks& audio, SampleCodec& codec,
                 double factor, ExclusiveFile& target) {
    const auto fail = [&run](std::string reason) {
        run.Fail(std::move(reason));
        return false;
    };
    std::vector<uint8_t> head(dataOffset);
    if (!source.SeekTo(0) || source.Read(head.data(), head.size()) != head.size()) return fail(kEndedEarly);
    if (!target.WriteAll(head.data(), head.size())) return fail(WriteProblem(target.error()));
    std::string problem;
    for (uint64_t done = 0; audio.Next(done, problem);) {
        const std::span<uint8_t> bytes = audio.bytes();
        for (std::size_t i = 0; i < audio.samples().size(); ++i)
            codec.Write(audio.samples()[i] * factor, &bytes[i * codec.bytes()]);
        if (!target.WriteAll(bytes.data(), bytes.size())) return fail(WriteProblem(target.error()));
        run.Progress(audio.frames() + done, 2 * audio.frames());
        if (run.StopRequested()) return false;
    }
    if (!problem.empty()) return fail(problem);
    // Chunks after the audio go along unchanged.
    std::vector<uint8_t> rest(1 << 16);
    for (std::size_t got; (got = source.Read(rest.data(), rest.size())) > 0;)
        if (!target.WriteAll(rest.data(), got)) return fail(WriteProblem(target.error()));
    return target.Close() || fail(WriteProblem(target.error()));
}

}  // namespace

double GainFor(std::optional<double> loudness, double truePeak, double targetLufs) {
    const double gain = loudness ? targetLufs - *loudness : 0.0;
    return truePeak > 0 ? std::min(gain, kCeilingDbtp - 20 * std::log10(truePeak)) : gain;
}

void ApplyGain(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const AppliedGain* gain = RequiredSettings<AppliedGain>(run);
    if (!gain) return;
    ExclusiveFile source(job.sourcePath, ExclusiveFile::kRead);
    WaveFormat format;
    const uint32_t dataOffset = ReadSourceWav(run, source, format);
    if (dataOffset == 0) return;

    SampleCodec codec(format.header);
    AudioBlocks audio(source, format, codec);
    LoudnessMeter meter(format.header.channels, format.header.sampleRate, true);
    if (!meter.ok()) return run.Fail("the loudness meter could not start");
    if (!Measure(run, audio, meter)) return;
    const double factor = std::pow(10.0, GainFor(meter.Loudness(), meter.Peak(), gain->targetLufs) / 20);

    // In place, the scaled file replaces the WAV only once it is complete.
    WriteWavOutput(run, [&](ExclusiveFile& target) {
        return WriteScaled(run, source, dataOffset, audio, codec, factor, target);
    });
}

const EngineDescriptor kApplyGain{"GAIN", ApplyGain};

}  // namespace zelph
