#include "codecs/mp3lameencoder.h"

#include <algorithm>

#include "codecs/bestreamencoder.h"
#include "codecs/reasons.h"
#include "formats/mp3rates.h"
#include "formats/pcmlimits.h"
#include "settings/settings.h"

namespace zelph {

namespace {

bool RateIsLames(const LameSettings& s) {
    return s.sampleRateMode != SampleRateMode::kResample && s.mpegVersion != MpegVersion::kMpeg1;
}

// The rate whose bitrates the frames take: the resample rate, an MPEG-1 rate
// when MPEG-1 is asked for, else one of the MPEG version LAME picks.
uint32_t FrameRate(const LameSettings& s, uint32_t sourceRate) {
    if (s.sampleRateMode == SampleRateMode::kResample) return static_cast<uint32_t>(s.resampleRate);
    const uint32_t picked = Mp3RateFor(sourceRate);
    return s.mpegVersion == MpegVersion::kMpeg1 ? std::max<uint32_t>(picked, 32000) : picked;
}

// A bitrate the frames cannot carry becomes the nearest one they can, as
// with the lame tool (MPEG-2 frames carry at most 160 kbit/s, MPEG-2.5 ones
// 64). Where the rate is LAME's own, a bitrate below all of its rate's
// stays: LAME then picks a lower rate that carries it.
uint32_t BitrateFor(int32_t kbps, const LameSettings& s, uint32_t sourceRate) {
    const int nearest = NearestMp3Bitrate(FrameRate(s, sourceRate), kbps);
    return static_cast<uint32_t>(RateIsLames(s) && nearest > kbps ? kbps : nearest);
}

BE_CONFIG LameConfig(const LameSettings& s, uint32_t sourceRate) {
    BE_CONFIG config{};
    config.dwConfig = BE_CONFIG_LAME;
    auto& f = config.format.LHV1;
    f.dwStructVersion = CURRENT_STRUCT_VERSION;
    f.dwStructSize = CURRENT_STRUCT_SIZE;
    f.dwSampleRate = sourceRate;
    f.dwReSampleRate = s.sampleRateMode == SampleRateMode::kResample ? static_cast<uint32_t>(s.resampleRate) : 0;
    f.nMode = s.channelMode == Mp3Channels::kMono   ? BE_MP3_MODE_MONO
              : s.channelMode == Mp3Channels::kJointStereo ? BE_MP3_MODE_JSTEREO
                                   : BE_MP3_MODE_STEREO;  // 2, and 0 for an unknown mode as well
    if (s.bitrateMode == Mp3BitrateMode::kCbr) f.dwBitrate = BitrateFor(s.cbrBitrate, s, sourceRate);
    if (s.bitrateMode == Mp3BitrateMode::kVbr) {
        f.dwBitrate = BitrateFor(s.vbrMinBitrate, s, sourceRate);
        f.dwMaxBitrate = BitrateFor(s.vbrMaxBitrate, s, sourceRate);
        f.bEnableVBR = 1;
        f.nVBRQuality = s.quality;
    }
    if (s.bitrateMode == Mp3BitrateMode::kAbr) f.dwVbrAbr_bps = static_cast<uint32_t>(s.abrBitrate) * 1000;
    f.nPreset = s.preset;
    f.dwMpegVersion = s.mpegVersion == MpegVersion::kMpeg1 ? MPEG1 : MPEG2;
    f.bPrivate = s.privateBit;
    f.bCRC = s.crcBit;
    f.bCopyright = s.copyrightBit;
    f.bOriginal = s.originalBit;
    f.bWriteVBRHeader = s.xingVbrHeader;
    f.nVbrMethod = s.vbrMethod;
    f.bNoRes = s.bitReservoir == 0 ? 1 : 0;
    return config;
}

}  // namespace

void EncodeMp3Lame(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const LameSettings* block = RequiredSettings<LameSettings>(run);
    if (!block) return;
    const LameSettings& settings = *block;
    WavSource source(job.sourcePath);
    if (!source.ok()) return run.Fail(source.problem());
    if (!IsPcmFormat(source.header())) return run.Fail("a WAV header with an impossible rate, channel count or sample size");
    const uint32_t rate = source.header().sampleRate;
    const int32_t kbps = settings.bitrateMode == Mp3BitrateMode::kCbr ? settings.cbrBitrate
                         : settings.bitrateMode == Mp3BitrateMode::kVbr ? settings.vbrMaxBitrate : 0;
    const bool mpeg1 = settings.mpegVersion == MpegVersion::kMpeg1;
    if (std::string problem = Mp3StreamProblem(FrameRate(settings, rate), mpeg1, kbps); !problem.empty())
        return run.Fail(problem);
    ExclusiveFile target(job.targetPath, ExclusiveFile::kCreate);
    if (!target.is_open()) return run.Fail(WriteProblem(target.error()));
    CodecLibraries libraries;
    BeStreamCalls calls;
    BEWRITEVBRHEADER writeTag = nullptr;
    if (!LoadBeLibrary(libraries, "Lame_Enc.so", calls, &writeTag)) return run.Fail(libraries.error());

    const BeStreamShape shape{settings.channelMode == Mp3Channels::kMono ? 1 : 2, rate, false};
    if (!EncodeWithBeStream(run, source, target, calls, LameConfig(settings, rate), shape) || !target.Close()) {
        if (!run.StopRequested()) run.Fail(BeStreamProblem(source, target, "Lame_Enc.so"));
        return;
    }
    // The stream began with a placeholder frame; the library fills in the
    // tag (frame count, bytes, seek table) once the file is complete.
    if (settings.xingVbrHeader && writeTag(job.targetPath.c_str()) != BE_ERR_SUCCESSFUL)
        return run.Fail("Plugins/Lame_Enc.so could not write the file's VBR tag");
    run.Succeed();
}

const EngineDescriptor kEncMp3Lame{"ENCMP3LAME", EncodeMp3Lame};

}  // namespace zelph
