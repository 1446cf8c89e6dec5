#include "codecs/mp3bladeencoder.h"

#include "codecs/bestreamencoder.h"
#include "codecs/reasons.h"
#include "formats/mp3rates.h"
#include "formats/pcmlimits.h"
#include "settings/settings.h"

namespace zelph {

namespace {

BE_CONFIG BladeConfig(const BladeSettings& s) {
    BE_CONFIG config{};
    config.dwConfig = BE_CONFIG_MP3;
    auto& f = config.format.mp3;
    f.dwSampleRate = static_cast<uint32_t>(s.sampleRate);
    f.byMode = s.channelMode == BladeChannels::kMono   ? BE_MP3_MODE_MONO
               : s.channelMode == BladeChannels::kDualChannel ? BE_MP3_MODE_DUALCHANNEL
                                    : BE_MP3_MODE_STEREO;
    // A bitrate MPEG-1 frames cannot carry becomes the nearest one they can.
    f.wBitrate = static_cast<uint16_t>(NearestMp3Bitrate(static_cast<uint32_t>(s.sampleRate), s.bitrate));
    f.bPrivate = s.privateBit;
    f.bCRC = s.crcBit;
    f.bCopyright = s.copyrightBit;
    f.bOriginal = s.originalBit;
    return config;
}

}  // namespace

void EncodeMp3Blade(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const BladeSettings* block = RequiredSettings<BladeSettings>(run);
    if (!block) return;
    const BladeSettings& settings = *block;
    WavSource source(job.sourcePath);
    if (!source.ok()) return run.Fail(source.problem());
    if (!IsPcmFormat(source.header())) return run.Fail("a WAV header with an impossible rate, channel count or sample size");
    if (std::string problem = Mp3StreamProblem(static_cast<uint32_t>(settings.sampleRate), true, settings.bitrate);
        !problem.empty())
        return run.Fail(problem);
    ExclusiveFile target(job.targetPath, ExclusiveFile::kCreate);
    if (!target.is_open()) return run.Fail(WriteProblem(target.error()));
    CodecLibraries libraries;
    BeStreamCalls calls;
    BEWRITEVBRHEADER writeTag = nullptr;
    if (!LoadBeLibrary(libraries, "BladeEnc.so", calls, &writeTag)) return run.Fail(libraries.error());

    // The MP3 declares the settings' rate, so a source of another rate is
    // resampled to it and keeps its pitch and length.
    const BeStreamShape shape{settings.channelMode == BladeChannels::kMono ? 1 : 2, static_cast<uint32_t>(settings.sampleRate), true};
    if (!EncodeWithBeStream(run, source, target, calls, BladeConfig(settings), shape) || !target.Close()) {
        if (!run.StopRequested()) run.Fail(BeStreamProblem(source, target, "BladeEnc.so"));
        return;
    }
    // The library fills the stream's first frame with the Info tag, whose
    // encoder delay and padding let decoders give the source's exact length.
    if (writeTag(job.targetPath.c_str()) != BE_ERR_SUCCESSFUL)
        return run.Fail("Plugins/BladeEnc.so could not write the file's Info tag");
    run.Succeed();
}

const EngineDescriptor kEncMp3Blade{"ENCMP3BLADE", EncodeMp3Blade};

}  // namespace zelph
