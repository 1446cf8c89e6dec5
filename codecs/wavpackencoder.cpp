#include "codecs/wavpackencoder.h"

#include <optional>
#include <vector>

#include "codecs/engine.h"
#include "codecs/pcmfiles.h"
#include "codecs/reasons.h"
#include "codecs/wavpackcalls.h"
#include "formats/exclusivefile.h"
#include "formats/pcmlimits.h"

namespace zelph {

namespace {

constexpr std::size_t kBlockFrames = 4096;

// libwavpack hands over each finished block, of the .wv or of the .wvc.
struct BlockTarget {
    ExclusiveFile& file;
    bool writeFailed = false;
};

int WriteBlock(void* id, void* data, int32_t bytes) {
    auto& target = *static_cast<BlockTarget*>(id);
    if (bytes < 0 || !target.file.WriteAll(data, static_cast<std::size_t>(bytes))) target.writeFailed = true;
    return target.writeFailed ? 0 : 1;
}

// The packing context, closed on every path out (before the files it
// writes to).
class WavPackContext {
public:
    WavPackContext(const WavPackCalls& calls, WavpackContext* context) : calls_(calls), context_(context) {}
    ~WavPackContext() {
        if (context_) calls_.WavpackCloseFile(context_);
    }
    WavPackContext(const WavPackContext&) = delete;
    WavPackContext& operator=(const WavPackContext&) = delete;

    WavpackContext* get() const { return context_; }
    std::string Reason(const std::string& what) const {
        const char* message = calls_.WavpackGetErrorMessage(context_);
        return what + (message && *message ? std::string(": ") + message : "");
    }

private:
    const WavPackCalls& calls_;
    WavpackContext* context_;
};

int LevelFlags(WavPackLevel level) {
    switch (level) {
        case WavPackLevel::kFast: return CONFIG_FAST_FLAG;
        case WavPackLevel::kHigh: return CONFIG_HIGH_FLAG;
        case WavPackLevel::kVeryHigh: return CONFIG_HIGH_FLAG | CONFIG_VERY_HIGH_FLAG;
        default: return 0;
    }
}

WavpackConfig ConfigFor(const WavPackSettings& settings, const WaveFormat& format) {
    const WaveHeader& header = format.header;
    WavpackConfig config{};
    config.bytes_per_sample = header.bitsPerSample / 8;
    config.bits_per_sample = header.bitsPerSample;
    config.num_channels = header.channels;
    config.sample_rate = static_cast<int32_t>(header.sampleRate);
    // Decoders want the speakers named; a plain WAV's are the usual ones.
    config.channel_mask = static_cast<int32_t>(SpeakerMask(format));
    config.flags = LevelFlags(settings.level);
    if (settings.mode == WavPackMode::kHybrid) {
        config.flags |= CONFIG_HYBRID_FLAG | CONFIG_BITRATE_KBPS;
        config.bitrate = static_cast<float>(settings.bitrate);
        if (settings.correction) config.flags |= CONFIG_CREATE_WVC;
    }
    return config;
}

bool SettingsInRange(const WavPackSettings& s) {
    return s.level >= WavPackLevel::kFast && s.level <= WavPackLevel::kVeryHigh &&
           (s.mode == WavPackMode::kLossless ||
            (s.mode == WavPackMode::kHybrid && s.bitrate >= kWavPackMinKbps && s.bitrate <= kWavPackMaxKbps));
}

}  // namespace

void EncodeWavPack(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const auto* settings = RequiredSettings<WavPackSettings>(run);
    if (!settings) return;
    if (!SettingsInRange(*settings)) return run.Fail("the WavPack settings are out of range");
    if (settings->writesCorrection() && job.companionPath.empty())
        return run.Fail("the WavPack job was given no correction file");
    WavSource source(job.sourcePath);
    if (!source.ok()) return run.Fail(source.problem());
    const WaveHeader& header = source.header();
    if (header.formatTag != kWaveFormatPcm || !IsPcmFormat(header))
        return run.Fail("WavPack takes 8- to 32-bit integer PCM at 1 to 768 kHz");
    ExclusiveFile targetFile(job.targetPath, ExclusiveFile::kCreate);
    if (!targetFile.is_open()) return run.Fail(WriteProblem(targetFile.error()));
    std::optional<ExclusiveFile> correctionFile;
    if (settings->writesCorrection()) {
        correctionFile.emplace(job.companionPath, ExclusiveFile::kCreate);
        if (!correctionFile->is_open()) return run.Fail(WriteProblem(correctionFile->error()));
    }
    WavPackCalls calls;
    CodecLibraries libraries;
    if (!LoadWavPackCalls(libraries, calls)) return run.Fail(libraries.error());

    const int bytesPerSample = header.bitsPerSample / 8;
    const uint64_t frames = source.audioBytes() / header.blockAlign;
    BlockTarget target{targetFile};
    std::optional<BlockTarget> correction;
    if (correctionFile) correction.emplace(BlockTarget{*correctionFile});
    const auto writeFailed = [&] { return target.writeFailed || (correction && correction->writeFailed); };
    const auto writeProblem = [&] {
        return WriteProblem(target.writeFailed || !correction ? targetFile.error() : correctionFile->error());
    };
    {
        WavPackContext context(calls, calls.WavpackOpenFileOutput(WriteBlock, &target,
                                                                  correction ? &*correction : nullptr));
        WavpackContext* wpc = context.get();
        if (!wpc) return run.Fail("libwavpack could not make an encoder");
        WavpackConfig config = ConfigFor(*settings, source.format());
        if (!calls.WavpackSetConfiguration64(wpc, &config, static_cast<int64_t>(frames), nullptr) ||
            !calls.WavpackPackInit(wpc))
            return run.Fail(context.Reason("libwavpack refused the settings"));

        std::vector<uint8_t> block(kBlockFrames * header.blockAlign);
        std::vector<int32_t> samples(kBlockFrames * header.channels);
        while (!source.atEnd()) {
            std::size_t count = 0;
            if (!source.Read(block.data(), block.size(), count) || count == 0) return run.Fail(source.problem());
            const std::size_t blockFrames = count / header.blockAlign;
            ToSignedSamples(block.data(), blockFrames * header.channels, bytesPerSample, samples.data());
            if (!calls.WavpackPackSamples(wpc, samples.data(), static_cast<uint32_t>(blockFrames)))
                return run.Fail(writeFailed() ? writeProblem() : context.Reason("libwavpack could not encode"));
            // A stop leaves the targets unfinished; the runner removes them.
            if (run.StopRequested()) return;
            run.Progress(source.bytesRead(), source.audioBytes());
        }
        if (!calls.WavpackFlushSamples(wpc))
            return run.Fail(writeFailed() ? writeProblem() : context.Reason("libwavpack could not encode"));
    }
    if (writeFailed()) return run.Fail(writeProblem());
    if (!targetFile.Close()) return run.Fail(WriteProblem(targetFile.error()));
    if (correctionFile && !correctionFile->Close()) return run.Fail(WriteProblem(correctionFile->error()));
    run.Succeed();
}

const EngineDescriptor kEncWavPack{"ENCWAVPACK", EncodeWavPack};

}  // namespace zelph
