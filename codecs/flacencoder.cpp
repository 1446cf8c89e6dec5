#include "codecs/flacencoder.h"

#include <unistd.h>

#include <vector>

#include "codecs/engine.h"
#include "codecs/flaccalls.h"
#include "codecs/pcmfiles.h"
#include "formats/exclusivefile.h"
#include "formats/waveheader.h"
#include "metadata/tags.h"

namespace zelph {

namespace {

// The encoder instance, deleted on every path out (libFLAC finishes a
// started stream itself when it is deleted).
class FlacEncoder {
public:
    explicit FlacEncoder(const FlacCalls& calls) : calls_(calls), encoder_(calls.FLAC__stream_encoder_new()) {}
    ~FlacEncoder() {
        if (encoder_) calls_.FLAC__stream_encoder_delete(encoder_);
    }
    FlacEncoder(const FlacEncoder&) = delete;
    FlacEncoder& operator=(const FlacEncoder&) = delete;

    FLAC__StreamEncoder* get() const { return encoder_; }

private:
    const FlacCalls& calls_;
    FLAC__StreamEncoder* encoder_;
};

// The encoder writes through the target; it seeks back at the end to fill
// in the stream information (length and MD5).
struct FlacTarget {
    ExclusiveFile& file;
    bool writeFailed = false;
};

FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                          uint32_t, uint32_t, void* client) {
    auto& target = *static_cast<FlacTarget*>(client);
    if (target.file.WriteAll(buffer, bytes)) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    target.writeFailed = true;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus SeekTarget(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client) {
    auto& target = *static_cast<FlacTarget*>(client);
    return ::lseek(target.file.fd(), static_cast<off_t>(offset), SEEK_SET) >= 0
               ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
               : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus TellTarget(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client) {
    const off_t at = ::lseek(static_cast<FlacTarget*>(client)->file.fd(), 0, SEEK_CUR);
    if (at < 0) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

const char* EncoderStateReason(FLAC__StreamEncoderState state, const FlacTarget& target) {
    if (target.writeFailed || state == FLAC__STREAM_ENCODER_CLIENT_ERROR || state == FLAC__STREAM_ENCODER_IO_ERROR)
        return "the FLAC file could not be written";
    if (state == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA ||
        state == FLAC__STREAM_ENCODER_VERIFY_DECODER_ERROR)
        return "the FLAC verify found the encoded audio differs from the source";
    return "libFLAC could not encode the audio";
}

constexpr std::size_t kBlockFrames = 4096;

bool Supported(const WaveHeader& header) {
    return header.formatTag == kWaveFormatPcm && header.channels >= 1 && header.channels <= 8 &&
           header.bitsPerSample % 8 == 0 && header.bitsPerSample >= 8 && header.bitsPerSample <= 32 &&
           header.sampleRate >= 1 && header.sampleRate <= 1048575;
}

}  // namespace

void EncodeFlac(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const auto* settings = RequiredSettings<FlacSettings>(run);
    if (!settings) return;
    if (settings->level < 0 || settings->level > 8) return run.Fail("the FLAC settings are out of range");
    WavSource source(job.sourcePath);
    if (!source.ok()) return run.Fail("the source could not be read as a PCM WAV file");
    const WaveHeader& header = source.header();
    if (!Supported(header)) return run.Fail("FLAC takes 8- to 32-bit integer PCM of 1 to 8 channels");
    ExclusiveFile targetFile(job.targetPath, ExclusiveFile::kCreate);
    if (!targetFile.is_open()) return run.Fail("the FLAC file could not be created");
    FlacCalls flac;
    CodecLibraries libraries;
    if (!LoadFlacCalls(libraries, flac)) return run.Fail(libraries.error());

    const int bytesPerSample = header.bitsPerSample / 8;
    const std::size_t frameBytes = static_cast<std::size_t>(bytesPerSample) * header.channels;
    const uint64_t frames = source.audioBytes() / frameBytes;
    FlacTarget target{targetFile};
    // Room for the tags that go on once the audio is complete, so they are
    // written in place (libFLAC adds its own empty comment block before it).
    FLAC__StreamMetadata padding{};
    padding.type = FLAC__METADATA_TYPE_PADDING;
    padding.length = kTagRoom;
    FLAC__StreamMetadata* blocks[] = {&padding};
    {
        FlacEncoder encoder(flac);
        FLAC__StreamEncoder* e = encoder.get();
        if (!e) return run.Fail("libFLAC could not make an encoder");
        const bool configured =
            flac.FLAC__stream_encoder_set_verify(e, settings->verify) &&
            flac.FLAC__stream_encoder_set_compression_level(e, static_cast<uint32_t>(settings->level)) &&
            flac.FLAC__stream_encoder_set_channels(e, header.channels) &&
            flac.FLAC__stream_encoder_set_bits_per_sample(e, header.bitsPerSample) &&
            flac.FLAC__stream_encoder_set_sample_rate(e, header.sampleRate) &&
            flac.FLAC__stream_encoder_set_total_samples_estimate(e, frames) &&
            flac.FLAC__stream_encoder_set_metadata(e, blocks, 1);
        if (!configured || flac.FLAC__stream_encoder_init_stream(e, WriteBytes, SeekTarget, TellTarget, nullptr,
                                                                 &target) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
            return run.Fail(EncoderStateReason(flac.FLAC__stream_encoder_get_state(e), target));

        std::vector<uint8_t> block(kBlockFrames * frameBytes);
        std::vector<FLAC__int32> samples(kBlockFrames * header.channels);
        while (!source.atEnd()) {
            std::size_t count = 0;
            if (!source.Read(block.data(), block.size(), count) || count == 0)
                return run.Fail("the source WAV ended before its header said");
            const std::size_t blockFrames = count / frameBytes;
            ToSignedSamples(block.data(), blockFrames * header.channels, bytesPerSample, samples.data());
            if (!flac.FLAC__stream_encoder_process_interleaved(e, samples.data(), static_cast<uint32_t>(blockFrames)))
                return run.Fail(EncoderStateReason(flac.FLAC__stream_encoder_get_state(e), target));
            // A stop leaves the target unfinished; the runner removes it.
            if (run.StopRequested()) return;
            run.Progress(source.bytesRead(), source.audioBytes());
        }
        if (!flac.FLAC__stream_encoder_finish(e))
            return run.Fail(EncoderStateReason(flac.FLAC__stream_encoder_get_state(e), target));
    }
    if (target.writeFailed || !targetFile.Close()) return run.Fail("the FLAC file could not be written");
    run.Succeed();
}

const EngineDescriptor kEncFlac{"ENCFLAC", EncodeFlac};

}  // namespace zelph
