#include "codecs/aiffencoder.h"

#include <vector>

#include "codecs/engine.h"
#include "codecs/pcmfiles.h"
#include "codecs/reasons.h"
#include "formats/aiffform.h"
#include "formats/exclusivefile.h"
#include "formats/pcmlimits.h"
#include "settings/aifftuning.h"

namespace zelph {

namespace {

constexpr std::size_t kBlockFrames = 4096;

// Little-endian WAV samples (8-bit ones unsigned) to big-endian signed ones
// of `outBytes`: each sample left-justified in 32 bits, its top bytes kept.
void ToBigEndian(const uint8_t* in, std::size_t samples, int inBytes, int outBytes, uint8_t* out) {
    for (std::size_t i = 0; i < samples; ++i, in += inBytes) {
        const uint32_t value = JustifiedSample(in, inBytes);
        for (int b = 0; b < outBytes; ++b) *out++ = static_cast<uint8_t>(value >> (24 - 8 * b));
    }
}

}  // namespace

void EncodeAiff(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const auto* settings = RequiredSettings<AiffSettings>(run);
    if (!settings) return;
    WavSource source(job.sourcePath);
    if (!source.ok()) return run.Fail(source.problem());
    const WaveHeader& header = source.header();
    if (header.formatTag != kWaveFormatPcm || !IsPcmFormat(header))
        return run.Fail("AIFF takes 8- to 32-bit integer PCM at 1 to 768 kHz");
    const int inBytes = header.bitsPerSample / 8;
    const int outBits = ChosenBits(settings->sampleSize, header.bitsPerSample);
    const int outBytes = outBits / 8;
    const uint64_t frames = source.audioBytes() / header.blockAlign;
    const uint64_t audioBytes = frames * header.channels * static_cast<uint64_t>(outBytes);
    if (audioBytes > kMaxAiffAudioBytes) return run.Fail("the AIFF output would pass 4 GiB");
    ExclusiveFile target(job.targetPath, ExclusiveFile::kCreate);
    if (!target.is_open()) return run.Fail(WriteProblem(target.error()));

    const auto head = AiffHeader(header.channels, header.sampleRate, static_cast<uint16_t>(outBits), audioBytes);
    if (!target.WriteAll(head.data(), head.size())) return run.Fail(WriteProblem(target.error()));
    std::vector<uint8_t> in(kBlockFrames * header.blockAlign);
    std::vector<uint8_t> out(kBlockFrames * header.channels * static_cast<std::size_t>(outBytes));
    while (!source.atEnd()) {
        std::size_t count = 0;
        if (!source.Read(in.data(), in.size(), count) || count == 0) return run.Fail(source.problem());
        const std::size_t samples = count / static_cast<std::size_t>(inBytes);
        ToBigEndian(in.data(), samples, inBytes, outBytes, out.data());
        if (!target.WriteAll(out.data(), samples * static_cast<std::size_t>(outBytes)))
            return run.Fail(WriteProblem(target.error()));
        // A stop leaves the target unfinished; the runner removes it.
        if (run.StopRequested()) return;
        run.Progress(source.bytesRead(), source.audioBytes());
    }
    const uint8_t pad = 0;
    if ((audioBytes & 1) && !target.WriteAll(&pad, 1)) return run.Fail(WriteProblem(target.error()));
    if (!target.Close()) return run.Fail(WriteProblem(target.error()));
    run.Succeed();
}

const EngineDescriptor kEncAiff{"ENCAIFF", EncodeAiff};

}  // namespace zelph
