#include "codecs/mp3gogoencoder.h"

#include <algorithm>
#include <array>
#include <vector>

#include "codecs/engine.h"
#include "codecs/libraryloader.h"
#include "codecs/pcmfiles.h"
#include "formats/exclusivefile.h"
#include "formats/mp3rates.h"
#include "formats/pcmlimits.h"
#include "formats/waveheader.h"
#include "plugins/gogo/gogointerface.h"
#include "settings/settings.h"

namespace zelph {

namespace {

struct GoGoCalls {
    MPGE_INITIALIZEWORK initializeWork = nullptr;
    MPGE_SETCONFIGURE setConfigure = nullptr;
    MPGE_GETCONFIGURE getConfigure = nullptr;
    MPGE_DETECTCONFIGURE detectConfigure = nullptr;
    MPGE_PROCESSFRAME processFrame = nullptr;
    MPGE_CLOSECODER closeCoder = nullptr;
    MPGE_ENDCODER endCoder = nullptr;
    MPGE_GETUNITSTATES getUnitStates = nullptr;
    MPGE_PROCESSTRACK processTrack = nullptr;
};

bool LoadGoGo(CodecLibraries& libraries, GoGoCalls& c) {
    return libraries.Load("GoGo.so", {Bind("MPGE_initializeWork", c.initializeWork),
                                      Bind("MPGE_setConfigure", c.setConfigure),
                                      Bind("MPGE_getConfigure", c.getConfigure),
                                      Bind("MPGE_detectConfigure", c.detectConfigure),
                                      Bind("MPGE_processFrame", c.processFrame),
                                      Bind("MPGE_closeCoder", c.closeCoder),
                                      Bind("MPGE_endCoder", c.endCoder),
                                      Bind("MPGE_getUnitStates", c.getUnitStates),
                                      Bind("MPGE_processTrack", c.processTrack)});
}

using Setting = std::array<UPARAM, 3>;  // code, first, second

UPARAM Value(int32_t v) { return static_cast<UPARAM>(static_cast<uint32_t>(v)); }

// The rate of the frames: the resample rate, or the MP3 rate for the
// source's (a 96 kHz source is encoded at 48 kHz, as LAME does).
uint32_t OutputRate(const GoGoSettings& s, const WaveHeader& source) {
    return s.sampleRateMode == SampleRateMode::kResample ? static_cast<uint32_t>(s.resampleRate)
                                                         : Mp3RateFor(source.sampleRate);
}

// The configuration values in the order the library is given them.
std::vector<Setting> GoGoConfiguration(const GoGoSettings& s, const WaveHeader& source, const Job& job) {
    std::vector<Setting> c;
    c.push_back({MC_INPUTFILE, MC_INPDEV_FILE, reinterpret_cast<UPARAM>(job.sourcePath.c_str())});
    c.push_back({MC_OUTPUTFILE, MC_OUTDEV_FILE, reinterpret_cast<UPARAM>(job.targetPath.c_str())});
    if (s.channelMode == Mp3Channels::kMono) c.push_back({MC_ENCODEMODE, MC_MODE_MONO, 0});
    if (s.channelMode == Mp3Channels::kStereo) c.push_back({MC_ENCODEMODE, MC_MODE_STEREO, 0});
    if (s.channelMode == Mp3Channels::kJointStereo) c.push_back({MC_ENCODEMODE, MC_MODE_JOINT, 0});
    c.push_back({MC_INPFREQ, source.sampleRate, 0});
    if (s.sampleRateMode == SampleRateMode::kFromSource || s.sampleRateMode == SampleRateMode::kResample)
        c.push_back({MC_OUTFREQ, OutputRate(s, source), 0});
    c.push_back({MC_USEPSY, Value(s.psychoAcoustics), 0});
    c.push_back({MC_USELPF16, Value(s.lowPassFilter), 0});
    c.push_back({MC_USEMMX, Value(s.useMMX), 0});
    c.push_back({MC_USEEMMX, Value(s.useEMMX), 0});
    c.push_back({MC_USE3DNOW, Value(s.use3DNow), 0});
    c.push_back({MC_USEE3DNOW, Value(s.useE3DNow), 0});
    c.push_back({MC_USEKNI, Value(s.useKNI), 0});
    c.push_back({MC_USESSE2, Value(s.useSSE2), 0});
    c.push_back({MC_USECMOV, Value(s.useCMov), 0});
    c.push_back({MC_USEALTIVEC, Value(s.useAltivec), 0});
    if (source.bitsPerSample == 8) c.push_back({MC_8BIT_PCM, 1, 0});
    if (source.channels == 1) c.push_back({MC_MONO_PCM, 1, 0});
    c.push_back({MC_EMPHASIS, Value(s.emphasis), 0});
    c.push_back({MC_ENCODE_QUALITY, Value(s.quality), 0});
    // A CBR bitrate the frames cannot carry becomes the nearest one they can.
    if (s.bitrateMode == Mp3BitrateMode::kCbr)
        c.push_back({MC_BITRATE, Value(NearestMp3Bitrate(OutputRate(s, source), s.bitrate)), 0});
    if (s.bitrateMode == Mp3BitrateMode::kAbr) {
        c.push_back({MC_ABR, 1, 0});
        c.push_back({MC_BITRATE, Value(s.bitrate), 0});
    }
    if (s.bitrateMode == Mp3BitrateMode::kVbr) {
        c.push_back({MC_VBR, 1, 0});
        c.push_back({MC_VBRBITRATE, Value(s.vbrMinBitrate), Value(s.vbrMaxBitrate)});
    }
    if (s.tagMode == GoGoTagMode::kLameTag) c.push_back({MC_WRITELAMETAG, 1, 0});
    if (s.tagMode == GoGoTagMode::kVbrTag) c.push_back({MC_WRITEVBRTAG, 1, 0});
    return c;
}

// The header of the source, read and released again before the library
// opens the file by its path.
// The source's header, or why it could not be read ("" when it was).
std::string ReadSourceHeader(const std::string& path, WaveHeader& header) {
    const WavSource source(path);
    if (source.ok()) header = source.header();
    return source.ok() ? "" : source.problem();
}

// A configured coder, closed and ended exactly once whichever way the run ends.
class Coder {
public:
    explicit Coder(const GoGoCalls& calls) : calls_(calls) {}
    ~Coder() {
        calls_.closeCoder();
        calls_.endCoder();
    }
    Coder(const Coder&) = delete;
    Coder& operator=(const Coder&) = delete;

private:
    const GoGoCalls& calls_;
};

}  // namespace

void EncodeMp3GoGo(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const GoGoSettings* block = RequiredSettings<GoGoSettings>(run);
    if (!block) return;
    const GoGoSettings& settings = *block;
    WaveHeader header{};
    if (const std::string problem = ReadSourceHeader(job.sourcePath, header); !problem.empty())
        return run.Fail(problem);
    // The library divides by the rate and the frame size it is handed.
    if (!IsPcmFormat(header)) return run.Fail("a WAV header with an impossible rate, channel count or sample size");
    const int32_t kbps = settings.bitrateMode == Mp3BitrateMode::kVbr ? settings.vbrMaxBitrate : settings.bitrate;
    if (std::string problem = Mp3StreamProblem(OutputRate(settings, header), false, kbps); !problem.empty())
        return run.Fail(problem);
    CodecLibraries libraries;
    GoGoCalls calls;
    if (!LoadGoGo(libraries, calls)) return run.Fail(libraries.error());
    if (calls.initializeWork() != ME_NOERR) return run.Fail("Plugins/GoGo.so does not start");

    // Every configuration result is left to MPGE_processFrame, which
    // reports a rejected value (or an unopened file) as its error.
    for (const auto& [code, first, second] : GoGoConfiguration(settings, header, job))
        calls.setConfigure(code, first, second);
    const Coder coder(calls);
    calls.detectConfigure();
    uint32_t totalFrames = 0;
    calls.getConfigure(MG_COUNT_FRAME, &totalFrames);

    for (uint32_t frame = 0;;) {
        if (run.StopRequested()) return;
        run.Progress(frame, std::max<uint32_t>(totalFrames, 1));
        ++frame;
        const MERET result = calls.processFrame();
        if (result == ME_EMPTYSTREAM) return run.Succeed();
        // The library reads the source and writes the target itself.
        if (result != ME_NOERR)
            return run.Fail("Plugins/GoGo.so stopped with error " + std::to_string(result) +
                            " (settings it refuses, or a file it cannot read or write)");
    }
}

const EngineDescriptor kEncMp3GoGo{"ENCMP3GOGO", EncodeMp3GoGo};

}  // namespace zelph
