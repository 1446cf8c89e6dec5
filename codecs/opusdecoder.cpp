#include "codecs/opusdecoder.h"

#include <unistd.h>

#include <bit>
#include <string_view>
#include <vector>

#include "codecs/engine.h"
#include "codecs/floatmode.h"
#include "codecs/reasons.h"
#include "codecs/opusfilecalls.h"
#include "codecs/pcmfiles.h"
#include "codecs/vorbisorder.h"
#include "formats/exclusivefile.h"

namespace zelph {

namespace {

constexpr int kOpusRate = 48000;
// 120 ms, the longest packet, for the most channels a WAV of ours takes.
constexpr int kMaxChannels = 8;
constexpr int kPacketFrames = 5760;

// The source as libopusfile reads it: forward only, counting the bytes for
// the progress bar.
struct OpusSource {
    ExclusiveFile& file;
    uint64_t bytesRead = 0;
};

int ReadSource(void* stream, unsigned char* buffer, int bytes) {
    auto& source = *static_cast<OpusSource*>(stream);
    const std::size_t got = source.file.Read(buffer, static_cast<std::size_t>(bytes));
    source.bytesRead += got;
    return static_cast<int>(got);
}

class OpusStream {
public:
    OpusStream(const OpusFileCalls& calls, OpusSource& source) : calls_(calls) {
        const OpusFileCallbacks callbacks{ReadSource, nullptr, nullptr, nullptr};
        file_ = calls.op_open_callbacks(&source, &callbacks, nullptr, 0, nullptr);
    }
    ~OpusStream() {
        if (file_) calls_.op_free(file_);
    }
    OpusStream(const OpusStream&) = delete;
    OpusStream& operator=(const OpusStream&) = delete;

    OggOpusFile* get() const { return file_; }

private:
    const OpusFileCalls& calls_;
    OggOpusFile* file_ = nullptr;
};

// Mono and stereo links (one Opus stream each) are decoded by a decoder of
// our own rather than libopusfile's multistream one: libopus' multistream
// decode sizes its decoders again for every packet, and in the
// distribution's build that asks the CPU for its features each time, which
// traps in virtual machines and costs about half the decoding time there.
// The samples are the same; libopusfile still parses, trims and dithers.
class SingleStreamDecoder {
public:
    SingleStreamDecoder(const OpusCalls& calls, const OpusFileCalls& file) : calls_(calls), file_(file) {}
    ~SingleStreamDecoder() { Release(); }
    SingleStreamDecoder(const SingleStreamDecoder&) = delete;
    SingleStreamDecoder& operator=(const SingleStreamDecoder&) = delete;

    static int Decode(void* self, OpusMSDecoder*, void* pcm, const ogg_packet* packet, int frames, int channels,
                      int format, int link) {
        return static_cast<SingleStreamDecoder*>(self)->DecodePacket(pcm, *packet, frames, channels, format, link);
    }

    void AttachTo(OggOpusFile* stream) {
        stream_ = stream;
        file_.op_set_decode_callback(stream, Decode, this);
    }

private:
    int DecodePacket(void* pcm, const ogg_packet& packet, int frames, int channels, int format, int link) {
        if (format != OP_DEC_FORMAT_FLOAT || !ReadyFor(link, channels)) return OP_DEC_USE_DEFAULT;
        const int got = calls_.opus_decode_float(decoder_, packet.packet, static_cast<opus_int32>(packet.bytes),
                                                 static_cast<float*>(pcm), frames, 0);
        if (got < 0) return got;
        return got == frames ? 0 : OPUS_INVALID_PACKET;
    }

    // A decoder for `link` when it is one stream of `channels`; libopusfile
    // starts every link from a fresh state, and so does this.
    bool ReadyFor(int link, int channels) {
        if (link == link_) return decoder_ != nullptr;
        Release();
        link_ = link;
        const OpusHead* head = file_.op_head(stream_, link);
        if (!head || head->stream_count != 1 || head->channel_count != channels || channels > 2) return false;
        int error = OPUS_OK;
        decoder_ = calls_.opus_decoder_create(48000, channels, &error);
        if (error != OPUS_OK) Release();
        // The header's output gain, which libopusfile applies to its own decoder.
        else if (calls_.opus_decoder_ctl(decoder_, OPUS_SET_GAIN(head->output_gain)) != OPUS_OK) Release();
        return decoder_ != nullptr;
    }

    void Release() {
        if (decoder_) calls_.opus_decoder_destroy(decoder_);
        decoder_ = nullptr;
    }

    const OpusCalls& calls_;
    const OpusFileCalls& file_;
    OggOpusFile* stream_ = nullptr;
    OpusDecoder* decoder_ = nullptr;
    int link_ = -1;
};

// A stream cut short loses its last page, the one marked as the end of the
// stream; libopusfile decodes what is there without a word, so the end mark
// is looked for here: the last page is the one whose length ends exactly at
// the end of the file (a page is at most 65307 bytes).
bool EndsWithLastPage(ExclusiveFile& file) {
    constexpr std::size_t kTail = 65536, kPageHeaderSize = 27, kHeaderTypeAt = 5, kSegmentCountAt = 26;
    constexpr uint8_t kEndOfStream = 0x04;
    const uint64_t size = file.Size();
    const uint64_t from = size > kTail ? size - kTail : 0;
    std::vector<uint8_t> tail(static_cast<std::size_t>(size - from));
    if (::pread(file.fd(), tail.data(), tail.size(), static_cast<off_t>(from)) != static_cast<ssize_t>(tail.size()))
        return false;
    const std::string_view bytes(reinterpret_cast<const char*>(tail.data()), tail.size());
    for (std::size_t page = bytes.rfind("OggS"); page != std::string_view::npos;
         page = page == 0 ? std::string_view::npos : bytes.rfind("OggS", page - 1)) {
        if (tail.size() - page < kPageHeaderSize) continue;
        const std::size_t segments = tail[page + kSegmentCountAt];
        std::size_t length = kPageHeaderSize + segments;
        if (tail.size() - page < length) continue;
        for (std::size_t i = 0; i < segments; ++i) length += tail[page + kPageHeaderSize + i];
        if (tail.size() - page == length) return (tail[page + kHeaderTypeAt] & kEndOfStream) != 0;
    }
    return false;
}

// Decodes every link, all of the first link's channel count, into the sink
// in WAV channel order.
Outcome DecodeAll(EngineRun& run, const OpusFileCalls& opus, OggOpusFile* file, OpusSource& source, WavSink& sink,
                      int channels) {
    std::vector<int16_t> decoded(kPacketFrames * kMaxChannels), ordered(kPacketFrames * kMaxChannels);
    const uint64_t sourceBytes = source.file.Size();
    for (;;) {
        int link = 0;
        const int frames = opus.op_read(file, decoded.data(), static_cast<int>(decoded.size()), &link);
        if (frames == 0) return Outcome::Done();
        if (frames < 0) return Outcome::Failed("damaged Opus stream");
        if (opus.op_channel_count(file, link) != channels) return Outcome::Failed("Opus links of different channel counts");
        const int16_t* pcm = decoded.data();
        if (channels > 2) {
            for (int f = 0; f < frames; ++f)
                for (int w = 0; w < channels; ++w)
                    ordered[f * channels + w] = decoded[f * channels + VorbisChannelAt(w, channels)];
            pcm = ordered.data();
        }
        static_assert(std::endian::native == std::endian::little);
        if (!sink.Write(pcm, std::size_t(frames) * channels * sizeof(int16_t))) return Outcome::Failed("the output could not be written");
        run.Progress(source.bytesRead, sourceBytes);
        if (run.StopRequested()) return Outcome::Stopped();
    }
}

}  // namespace

void DecodeOpus(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const DenormalsFlushed denormalsFlushed;
    ExclusiveFile file(job.sourcePath, ExclusiveFile::kRead);
    if (!file.is_open()) return run.Fail(ReadProblem(job.sourcePath, file.error()));
    WavSink target(job.targetPath);
    if (!target.ok()) return run.Fail(target.problem());
    OpusFileCalls opus;
    OpusCalls decoderCalls;
    CodecLibraries libraries;
    if (!LoadOpusFileCalls(libraries, opus) || !LoadOpusCalls(libraries, decoderCalls))
        return run.Fail(libraries.error());

    OpusSource source{file};
    OpusStream stream(opus, source);
    if (!stream.get()) return run.Fail("no Opus stream");
    SingleStreamDecoder decoder(decoderCalls, opus);
    decoder.AttachTo(stream.get());
    const int channels = opus.op_channel_count(stream.get(), -1);
    if (channels < 1 || channels > kMaxChannels) return run.Fail("Opus stream of more than 8 channels");
    if (!EndsWithLastPage(file)) return run.Fail("Opus stream cut short");
    if (!run.GoesOn(DecodeAll(run, opus, stream.get(), source, target, channels))) return;
    if (target.pcmBytes() == 0) return run.Fail("no Opus audio");
    if (!target.Finish(static_cast<uint16_t>(channels), kOpusRate, 16)) return run.Fail(target.problem());
    run.Succeed();
}

const EngineDescriptor kDecOpus{"DECOPUS", DecodeOpus};

}  // namespace zelph
