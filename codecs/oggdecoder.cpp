#include "codecs/oggdecoder.h"

#include <array>
#include <bit>
#include <optional>

#include "codecs/engine.h"
#include "codecs/floatmode.h"
#include "codecs/reasons.h"
#include "codecs/libraryloader.h"
#include "codecs/pcmfiles.h"
#include "codecs/vorbisorder.h"
#include "codecs/vorbiscalls.h"
#include "formats/exclusivefile.h"

namespace zelph {

namespace {

constexpr std::size_t kReadBytes = 4096;
constexpr std::size_t kBlockSamples = 4096;

// The source in 4096-byte reads, straight into the sync layer's buffer.
class OggInput {
public:
    OggInput(const OggCalls& ogg, ExclusiveFile& file) : ogg_(ogg), file_(file), size_(file.Size()) {
        ogg_.ogg_sync_init(&sync_);
    }
    ~OggInput() { ogg_.ogg_sync_clear(&sync_); }
    OggInput(const OggInput&) = delete;
    OggInput& operator=(const OggInput&) = delete;

    uint64_t bytesRead() const { return bytesRead_; }
    uint64_t size() const { return size_; }

    // Reads the next bytes; false at the end of the file.
    bool Feed() {
        char* buffer = ogg_.ogg_sync_buffer(&sync_, kReadBytes);
        const std::size_t got = buffer ? file_.Read(buffer, kReadBytes) : 0;
        ogg_.ogg_sync_wrote(&sync_, static_cast<long>(got));
        bytesRead_ += got;
        return got > 0;
    }
    // 1: a page; 0: more input needed; negative: bytes skipped to resync.
    int NextPage(ogg_page& page) { return ogg_.ogg_sync_pageout(&sync_, &page); }
    // The next whole page, reading as needed; false at the end of the file.
    bool ReadPage(ogg_page& page) {
        for (int got; (got = NextPage(page)) != 1;)
            if (got == 0 && !Feed()) return false;
        return true;
    }

private:
    const OggCalls& ogg_;
    ExclusiveFile& file_;
    ogg_sync_state sync_{};
    const uint64_t size_;
    uint64_t bytesRead_ = 0;
};

struct PcmFormat {
    int channels = 0;
    long rate = 0;
    bool operator==(const PcmFormat&) const = default;
};

// Decodes one logical stream after another into the sink. All streams must
// share the first one's channels and rate, so that the WAV header, written
// once at the end, is true for all of it.
class OggVorbisDecoder {
public:
    OggVorbisDecoder(EngineRun& run, const OggCalls& ogg, const VorbisCalls& vorbis, OggInput& input, WavSink& sink)
        : run_(run), ogg_(ogg), vorbis_(vorbis), input_(input), sink_(sink) {}

    Outcome DecodeAll() {
        ogg_page page;
        while (input_.ReadPage(page)) {
            VorbisStream stream(ogg_, vorbis_, ogg_.ogg_page_serialno(&page));
            if (!ReadHeaders(stream, page)) return Outcome::Failed("not an Ogg Vorbis stream");
            const PcmFormat streamFormat{stream.info.channels, stream.info.rate};
            if (streamFormat.channels <= 0) return Outcome::Failed("not an Ogg Vorbis stream");
            if (format_.channels != 0 && !(streamFormat == format_))
                return Outcome::Failed("chained Ogg streams of different channels or rates");
            format_ = streamFormat;
            if (!stream.StartSynthesis()) return Outcome::Failed("damaged Ogg Vorbis stream");
            if (Outcome outcome = DecodeStream(stream); !outcome.done()) return outcome;
        }
        return Outcome::Done();
    }

    const PcmFormat& format() const { return format_; }
    // Gaps and damaged packets passed over.
    uint64_t skipped() const { return skipped_; }

private:
    // The identification header on `first`, then the comment and codebook headers.
    bool ReadHeaders(VorbisStream& stream, ogg_page& first) {
        ogg_packet packet;
        if (ogg_.ogg_stream_pagein(&stream.stream, &first) < 0 ||
            ogg_.ogg_stream_packetout(&stream.stream, &packet) != 1 ||
            vorbis_.vorbis_synthesis_headerin(&stream.info, &stream.comment, &packet) < 0)
            return false;
        for (int count = 0; count < 2;) {
            const int got = ogg_.ogg_stream_packetout(&stream.stream, &packet);
            if (got < 0 || (got == 1 && vorbis_.vorbis_synthesis_headerin(&stream.info, &stream.comment, &packet) < 0))
                return false;
            if (got == 1) {
                ++count;
                continue;
            }
            ogg_page page;
            if (!input_.ReadPage(page)) return false;
            ogg_.ogg_stream_pagein(&stream.stream, &page);
        }
        return true;
    }

    // Until the end-of-stream page or the end of the file. Gaps and damaged
    // packets are skipped.
    Outcome DecodeStream(VorbisStream& stream) {
        if (!DecodePackets(stream)) return Outcome::Failed(sink_.problem());
        for (bool eos = false; !eos;) {
            ogg_page page;
            for (int got; !eos && (got = input_.NextPage(page)) != 0;) {
                if (got < 0) continue;
                ogg_.ogg_stream_pagein(&stream.stream, &page);
                if (!DecodePackets(stream)) return Outcome::Failed(sink_.problem());
                eos = ogg_.ogg_page_eos(&page) != 0;
            }
            run_.Progress(input_.bytesRead(), input_.size());
            if (run_.StopRequested()) return Outcome::Stopped();
            if (!eos) eos = !input_.Feed();
        }
        return Outcome::Done();
    }

    bool DecodePackets(VorbisStream& stream) {
        ogg_packet packet;
        for (int got; (got = ogg_.ogg_stream_packetout(&stream.stream, &packet)) != 0;) {
            // A gap in the page sequence, or a packet that is no audio.
            if (got < 0) {
                ++skipped_;
                continue;
            }
            if (vorbis_.vorbis_synthesis(&stream.block, &packet) == 0)
                vorbis_.vorbis_synthesis_blockin(&stream.dsp, &stream.block);
            else
                ++skipped_;
            if (!WritePcm(stream)) return false;
        }
        return true;
    }

    bool WritePcm(VorbisStream& stream) {
        const int channels = format_.channels;
        const int blockFrames = static_cast<int>(kBlockSamples) / channels;
        float** pcm;
        for (int frames; (frames = vorbis_.vorbis_synthesis_pcmout(&stream.dsp, &pcm)) > 0;) {
            frames = std::min(frames, blockFrames);
            for (int w = 0; w < channels; ++w) {
                const float* in = pcm[VorbisChannelAt(w, channels)];
                for (int j = 0; j < frames; ++j) block_[j * channels + w] = FloatToPcm16(in[j]);
            }
            if (!WriteBlock(static_cast<std::size_t>(frames) * channels)) return false;
            vorbis_.vorbis_synthesis_read(&stream.dsp, frames);
        }
        return true;
    }

    // The block's samples are already the WAV's little-endian 16-bit ones.
    static_assert(std::endian::native == std::endian::little);
    bool WriteBlock(std::size_t samples) { return sink_.Write(block_.data(), samples * sizeof(int16_t)); }

    EngineRun& run_;
    const OggCalls& ogg_;
    const VorbisCalls& vorbis_;
    OggInput& input_;
    WavSink& sink_;
    PcmFormat format_;
    uint64_t skipped_ = 0;
    std::array<int16_t, kBlockSamples> block_{};
};

}  // namespace

int16_t FloatToPcm16(float sample) {
    const float value = sample * 32767.0f;
    if (value >= 32767.0f) return 32767;
    if (value <= -32768.0f) return -32768;
    if (value != value) return 0;  // NaN from a damaged packet
    return static_cast<int16_t>(value);
}

void DecodeOggVorbis(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const DenormalsFlushed denormalsFlushed;
    ExclusiveFile source(job.sourcePath, ExclusiveFile::kRead);
    if (!source.is_open()) return run.Fail(ReadProblem(job.sourcePath, source.error()));
    WavSink target(job.targetPath);
    if (!target.ok()) return run.Fail(target.problem());
    OggCalls ogg;
    VorbisCalls vorbis;
    CodecLibraries libraries;
    if (!LoadOggCalls(libraries, ogg) || !LoadVorbisCalls(libraries, vorbis)) return run.Fail(libraries.error());

    PcmFormat format;
    uint64_t skipped = 0;
    {
        OggInput input(ogg, source);
        OggVorbisDecoder decoder(run, ogg, vorbis, input, target);
        if (!run.GoesOn(decoder.DecodeAll())) return;
        format = decoder.format();
        skipped = decoder.skipped();
    }
    // A source without a single decoded sample is not a conversion.
    if (target.pcmBytes() == 0) return run.Fail("no Ogg Vorbis audio");
    if (!target.Finish(static_cast<uint16_t>(format.channels), static_cast<uint32_t>(format.rate), 16))
        return run.Fail(target.problem());
    if (skipped > 0) run.Note("damaged: " + std::to_string(skipped) + (skipped == 1 ? " packet" : " packets") + " skipped");
    run.Succeed();
}

const EngineDescriptor kDecOggVorbis{"DECOGGVORBIS", DecodeOggVorbis};

}  // namespace zelph
