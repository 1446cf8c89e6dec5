#include "codecs/opusencoder.h"

#include <vector>

#include "codecs/engine.h"
#include "codecs/floatmode.h"
#include "codecs/opusenccalls.h"
#include "codecs/pcmfiles.h"
#include "formats/exclusivefile.h"

namespace zelph {

namespace {

// The comments and the encoder, destroyed on every path out.
class OpusStream {
public:
    explicit OpusStream(const OpusEncCalls& calls) : calls_(calls), comments_(calls.ope_comments_create()) {}
    ~OpusStream() {
        if (encoder_) calls_.ope_encoder_destroy(encoder_);
        if (comments_) calls_.ope_comments_destroy(comments_);
    }
    OpusStream(const OpusStream&) = delete;
    OpusStream& operator=(const OpusStream&) = delete;

    bool Open(const OpusEncCallbacks& callbacks, void* target, int rate, int channels) {
        int error = 0;
        if (comments_)
            encoder_ = calls_.ope_encoder_create_callbacks(&callbacks, target, comments_, rate, channels, 0, &error);
        return encoder_ != nullptr;
    }
    OggOpusEnc* get() const { return encoder_; }

private:
    const OpusEncCalls& calls_;
    OggOpusComments* comments_;
    OggOpusEnc* encoder_ = nullptr;
};

struct OpusTarget {
    ExclusiveFile& file;
    bool writeFailed = false;
};

int WritePage(void* client, const unsigned char* bytes, opus_int32 size) {
    auto& target = *static_cast<OpusTarget*>(client);
    if (target.file.WriteAll(bytes, static_cast<std::size_t>(size))) return 0;
    target.writeFailed = true;
    return 1;
}

int CloseTarget(void*) { return 0; }  // the engine closes the file itself

// The settings as libopusenc's requests; false when one is refused.
bool Configure(const OpusEncCalls& opus, OggOpusEnc* encoder, const OpusSettings& settings, int channels) {
    const int kbps = settings.bitrate ? settings.bitrate : (channels == 1 ? 64 : 128);
    return opus.ope_encoder_ctl(encoder, OPUS_SET_BITRATE(kbps * 1000)) == OPE_OK &&
           opus.ope_encoder_ctl(encoder, OPUS_SET_VBR(settings.mode == OpusMode::kCbr ? 0 : 1)) == OPE_OK &&
           opus.ope_encoder_ctl(encoder, OPUS_SET_VBR_CONSTRAINT(settings.mode == OpusMode::kConstrainedVbr ? 1 : 0)) ==
               OPE_OK &&
           opus.ope_encoder_ctl(encoder, OPUS_SET_COMPLEXITY(settings.complexity)) == OPE_OK &&
           opus.ope_encoder_ctl(encoder, OPUS_SET_SIGNAL(settings.application == OpusApplication::kSpeech
                                                             ? OPUS_SIGNAL_VOICE
                                                             : OPUS_SIGNAL_MUSIC)) == OPE_OK;
}

bool Valid(const OpusSettings& s) {
    return (s.bitrate == 0 || (s.bitrate >= 6 && s.bitrate <= 510)) && s.complexity >= 0 && s.complexity <= 10 &&
           s.mode >= OpusMode::kVbr && s.mode <= OpusMode::kCbr && s.application >= OpusApplication::kMusic &&
           s.application <= OpusApplication::kSpeech;
}

constexpr std::size_t kBlockFrames = 4096;

}  // namespace

void EncodeOpus(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const DenormalsFlushed denormalsFlushed;
    const auto* settings = RequiredSettings<OpusSettings>(run);
    if (!settings) return;
    if (!Valid(*settings)) return run.Fail("the Opus settings are out of range");
    WavSource source(job.sourcePath);
    const WaveHeader& header = source.header();
    if (!source.ok() || header.bitsPerSample != 16 || header.channels < 1 || header.channels > 2 ||
        header.sampleRate < 1 || header.sampleRate > 768000)
        return run.Fail("the source could not be read as a 16-bit mono or stereo WAV file");
    ExclusiveFile targetFile(job.targetPath, ExclusiveFile::kCreate);
    if (!targetFile.is_open()) return run.Fail("the Opus file could not be created");
    OpusEncCalls opus;
    CodecLibraries libraries;
    if (!LoadOpusEncCalls(libraries, opus)) return run.Fail(libraries.error());

    const int channels = header.channels;
    OpusTarget target{targetFile};
    {
        OpusStream stream(opus);
        const OpusEncCallbacks callbacks{WritePage, CloseTarget};
        if (!stream.Open(callbacks, &target, static_cast<int>(header.sampleRate), channels))
            return run.Fail("libopusenc could not start a stream at this rate");
        if (!Configure(opus, stream.get(), *settings, channels)) return run.Fail("libopusenc refused the settings");

        std::vector<opus_int16> block(kBlockFrames * channels);
        const std::size_t frameBytes = 2u * channels;
        while (!source.atEnd()) {
            std::size_t count = 0;
            if (!source.Read(block.data(), block.size() * 2, count) || count == 0)
                return run.Fail("the source WAV ended before its header said");
            if (opus.ope_encoder_write(stream.get(), block.data(), static_cast<int>(count / frameBytes)) != OPE_OK)
                return run.Fail(target.writeFailed ? "the Opus file could not be written" : "libopusenc could not encode");
            if (run.StopRequested()) return;
            run.Progress(source.bytesRead(), source.audioBytes());
        }
        if (opus.ope_encoder_drain(stream.get()) != OPE_OK || target.writeFailed)
            return run.Fail(target.writeFailed ? "the Opus file could not be written" : "libopusenc could not finish");
    }
    if (!targetFile.Close()) return run.Fail("the Opus file could not be written");
    run.Succeed();
}

const EngineDescriptor kEncOpus{"ENCOPUS", EncodeOpus};

}  // namespace zelph
