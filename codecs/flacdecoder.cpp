#include "codecs/flacdecoder.h"

#include <unistd.h>

#include <bit>
#include <cstring>
#include <vector>

#include "codecs/engine.h"
#include "codecs/reasons.h"
#include "codecs/flaccalls.h"
#include "codecs/pcmfiles.h"
#include "formats/exclusivefile.h"

namespace zelph {

namespace {

// The decoder instance, deleted (and finished, if it was started) on every path out.
class FlacStream {
public:
    explicit FlacStream(const FlacCalls& calls) : calls_(calls), decoder_(calls.FLAC__stream_decoder_new()) {}
    ~FlacStream() {
        if (decoder_) calls_.FLAC__stream_decoder_delete(decoder_);
    }
    FlacStream(const FlacStream&) = delete;
    FlacStream& operator=(const FlacStream&) = delete;

    FLAC__StreamDecoder* get() const { return decoder_; }

private:
    const FlacCalls& calls_;
    FLAC__StreamDecoder* decoder_;
};

// What the stream's information block promises, and what decoding found.
struct FlacDecodeState {
    ExclusiveFile& source;
    WavSink& sink;
    uint64_t sourceBytes = 0;
    uint64_t bytesRead = 0;
    unsigned channels = 0, bits = 0, rate = 0;
    uint64_t totalFrames = 0;  // 0: not stated
    uint64_t framesDecoded = 0;
    bool damaged = false;      // a lost sync, a bad header or a checksum error
    std::vector<uint8_t> block{};

    unsigned wavBits() const { return (bits + 7) / 8 * 8; }
    // Writes the gathered audio; false when the write failed.
    bool Flush() {
        const bool written = sink.Write(block.data(), block.size());
        block.clear();
        return written;
    }
};

FLAC__StreamDecoderReadStatus ReadSource(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* client) {
    auto& state = *static_cast<FlacDecodeState*>(client);
    *bytes = state.source.Read(buffer, *bytes);
    state.bytesRead += *bytes;
    return *bytes ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

void TakeStreamInfo(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* client) {
    auto& state = *static_cast<FlacDecodeState*>(client);
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    const auto& info = metadata->data.stream_info;
    state.channels = info.channels;
    state.bits = info.bits_per_sample;
    state.rate = info.sample_rate;
    state.totalFrames = info.total_samples;
}

// Decoded audio is gathered up to this size before it is written: a FLAC
// frame is only a few kilobytes of PCM.
constexpr std::size_t kWriteBytes = 1 << 18;

// One block of frames, interleaved, little-endian, left-justified in whole
// bytes; 8-bit samples unsigned, as WAV keeps them.
FLAC__StreamDecoderWriteStatus WriteBlock(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                          const FLAC__int32* const buffer[], void* client) {
    auto& state = *static_cast<FlacDecodeState*>(client);
    const unsigned channels = frame->header.channels, frames = frame->header.blocksize;
    // Every block must keep the form the WAV header will state.
    if (channels != state.channels || frame->header.bits_per_sample != state.bits)
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    const unsigned bytes = state.wavBits() / 8, shift = state.wavBits() - state.bits;
    const std::size_t start = state.block.size();
    state.block.resize(start + std::size_t{frames} * channels * bytes);
    uint8_t* at = state.block.data() + start;
    if (bytes == 2 && shift == 0) {
        static_assert(std::endian::native == std::endian::little);
        auto* out = reinterpret_cast<int16_t*>(at);
        for (unsigned c = 0; c < channels; ++c)
            for (unsigned i = 0; i < frames; ++i) out[i * channels + c] = static_cast<int16_t>(buffer[c][i]);
    } else {
        const uint32_t bias = bytes == 1 ? 0x80u : 0;
        for (unsigned i = 0; i < frames; ++i)
            for (unsigned c = 0; c < channels; ++c) {
                const uint32_t sample = (static_cast<uint32_t>(buffer[c][i]) << shift) + bias;
                for (unsigned b = 0; b < bytes; ++b) *at++ = static_cast<uint8_t>(sample >> (8 * b));
            }
    }
    state.framesDecoded += frames;
    return state.block.size() < kWriteBytes || state.Flush() ? FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE
                                                             : FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
}

void NoteError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
    static_cast<FlacDecodeState*>(client)->damaged = true;
}

bool StartsWithOggPage(ExclusiveFile& source) {
    char magic[4] = {};
    return ::pread(source.fd(), magic, 4, 0) == 4 && std::memcmp(magic, "OggS", 4) == 0;
}

// Decodes frame by frame until the end of the stream. A file that ends
// before the samples its information promises keeps what it holds, whether
// its last frame is whole or not, and says how much is missing.
Outcome DecodeAll(EngineRun& run, const FlacCalls& flac, FLAC__StreamDecoder* decoder, FlacDecodeState& state) {
    for (;;) {
        const bool decoded = flac.FLAC__stream_decoder_process_single(decoder);
        const FLAC__StreamDecoderState now = flac.FLAC__stream_decoder_get_state(decoder);
        if (state.damaged || now == FLAC__STREAM_DECODER_END_OF_STREAM) break;
        if (now == FLAC__STREAM_DECODER_ABORTED)
            return Outcome::Failed("FLAC frame of another form, or the output could not be written");
        if (!decoded || now > FLAC__STREAM_DECODER_END_OF_STREAM) return Outcome::Failed("no FLAC stream");
        run.Progress(state.bytesRead, state.sourceBytes);
        if (run.StopRequested()) return Outcome::Stopped();
    }
    const bool fewer = state.totalFrames != 0 && state.framesDecoded < state.totalFrames;
    const bool endsEarly = fewer && state.bytesRead >= state.sourceBytes;
    if (state.channels == 0) return Outcome::Failed("no FLAC stream");
    if (state.damaged && !endsEarly) return Outcome::Failed("damaged FLAC stream");
    if (state.framesDecoded == 0) return Outcome::Failed("no FLAC audio");
    if (state.totalFrames != 0 && state.framesDecoded != state.totalFrames && !endsEarly)
        return Outcome::Failed("FLAC stream of another length than it states");
    // finish() compares the audio's MD5 with the one the stream carries,
    // which only the whole audio can match.
    const bool matches = flac.FLAC__stream_decoder_finish(decoder);
    if (endsEarly)
        run.Note(EndsEarly(state.framesDecoded, state.totalFrames, 0, state.rate));
    else if (!matches)
        return Outcome::Failed("FLAC audio does not match its MD5");
    return state.Flush() ? Outcome::Done() : Outcome::Failed("the output could not be written");
}

}  // namespace

void DecodeFlac(const Job& job, JobState& state) {
    EngineRun run(job, state);
    ExclusiveFile source(job.sourcePath, ExclusiveFile::kRead);
    if (!source.is_open()) return run.Fail(ReadProblem(job.sourcePath, source.error()));
    WavSink target(job.targetPath);
    if (!target.ok()) return run.Fail(target.problem());
    FlacCalls flac;
    CodecLibraries libraries;
    if (!LoadFlacCalls(libraries, flac)) return run.Fail(libraries.error());

    FlacStream stream(flac);
    if (!stream.get()) return run.Fail("Plugins/FLAC.so cannot make a decoder");
    FlacDecodeState decoding{.source = source, .sink = target, .sourceBytes = source.Size()};
    const bool ogg = StartsWithOggPage(source);
    flac.FLAC__stream_decoder_set_md5_checking(stream.get(), true);
    const auto init = ogg ? flac.FLAC__stream_decoder_init_ogg_stream : flac.FLAC__stream_decoder_init_stream;
    if (init(stream.get(), ReadSource, nullptr, nullptr, nullptr, nullptr, WriteBlock, TakeStreamInfo, NoteError,
             &decoding) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return run.Fail("Plugins/FLAC.so cannot start decoding");
    if (!run.GoesOn(DecodeAll(run, flac, stream.get(), decoding))) return;
    if (!target.Finish(static_cast<uint16_t>(decoding.channels), decoding.rate,
                       static_cast<uint16_t>(decoding.wavBits())))
        return run.Fail(target.problem());
    run.Succeed();
}

const EngineDescriptor kDecFlac{"DECFLAC", DecodeFlac};

}  // namespace zelph
