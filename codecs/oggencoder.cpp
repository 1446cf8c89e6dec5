#include "codecs/oggencoder.h"

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

#include "codecs/engine.h"
#include "codecs/floatmode.h"
#include "codecs/reasons.h"
#include "codecs/libraryloader.h"
#include "codecs/pcmfiles.h"
#include "codecs/resampler.h"
#include "codecs/vorbiscalls.h"
#include "formats/exclusivefile.h"
#include "formats/pcmlimits.h"
#include "metadata/tags.h"
#include "settings/settings.h"

namespace zelph {

namespace {

struct StreamFormat {
    int channels = 0;
    long rate = 0;
};

// libvorbisenc's set-up for the chosen bitrate mode. At 24 kHz and below
// libvorbisenc has no settings above 160 kbit/s, so a higher choice is capped.
bool SetUpEncoder(const VorbisEncCalls& enc, vorbis_info& info, const OggVorbisSettings& settings,
                  StreamFormat format) {
    const auto nominal = [&](int32_t kbps) { return 1000L * (format.rate <= 24000 && kbps > 160 ? 160 : kbps); };
    switch (settings.bitrateMode) {
    case OggBitrateMode::kVbr:
        return enc.vorbis_encode_init_vbr(&info, format.channels, format.rate, settings.vbrQuality) == 0;
    case OggBitrateMode::kAbr:
        return enc.vorbis_encode_init(&info, format.channels, format.rate, -1, nominal(settings.abrBitrate), -1) == 0;
    case OggBitrateMode::kTrueVbr:
        // True VBR: the quality that the bitrate stands for, without bitrate management.
        return enc.vorbis_encode_setup_managed(&info, format.channels, format.rate, -1,
                                               nominal(settings.trueVbrBitrate), -1) == 0 &&
               enc.vorbis_encode_ctl(&info, OV_ECTL_RATEMANAGE_AVG, nullptr) == 0 &&
               enc.vorbis_encode_setup_init(&info) == 0;
    default:
        return false;
    }
}

// A fresh serial number per stream, so that two encodings never share one.
int SerialNumber() {
    std::random_device random;
    return static_cast<int>(random());
}

constexpr std::size_t kReadFrames = 1024;

// The source's 16-bit frames as floats in the stream's channels: the first
// source channel, and the second (or the first again, from mono) for stereo.
// Further source channels are left out, not mixed in.
void ToStreamChannels(const uint8_t* bytes, std::size_t frames, int sourceChannels, int streamChannels,
                      std::vector<float>& out) {
    out.resize(frames * streamChannels);
    const auto sample = [&](std::size_t frame, int channel) {
        const uint8_t* at = bytes + (frame * sourceChannels + channel) * 2;
        return static_cast<int16_t>(at[0] | (at[1] << 8)) / 32768.0f;
    };
    for (std::size_t f = 0; f < frames; ++f) {
        out[f * streamChannels] = sample(f, 0);
        if (streamChannels == 2) out[f * streamChannels + 1] = sample(f, sourceChannels > 1 ? 1 : 0);
    }
}

// Packets to pages to the target, every write checked.
class VorbisEncoder {
public:
    VorbisEncoder(const OggCalls& ogg, const VorbisCalls& vorbis, VorbisStream& stream, ExclusiveFile& target)
        : ogg_(ogg), vorbis_(vorbis), stream_(stream), target_(target) {}

    // The three header packets, flushed so that the audio starts on a page of its own.
    bool WriteHeaders() {
        ogg_packet id, comment, codebooks;
        if (vorbis_.vorbis_analysis_headerout(&stream_.dsp, &stream_.comment, &id, &comment, &codebooks) != 0)
            return false;
        // Zero bytes after the comment list leave room for the tags that go
        // on once the audio is complete, in place.
        std::vector<unsigned char> padded(comment.packet, comment.packet + comment.bytes);
        padded.resize(padded.size() + kTagRoom);
        comment.packet = padded.data();
        comment.bytes = static_cast<long>(padded.size());
        ogg_.ogg_stream_packetin(&stream_.stream, &id);
        ogg_.ogg_stream_packetin(&stream_.stream, &comment);
        ogg_.ogg_stream_packetin(&stream_.stream, &codebooks);
        ogg_page page;
        while (ogg_.ogg_stream_flush(&stream_.stream, &page) != 0)
            if (!WritePage(page)) return false;
        return true;
    }

    // Analyses `frames` interleaved frames and writes the pages that are complete.
    bool Encode(const float* interleaved, std::size_t frames) {
        if (frames == 0) return true;  // a resampler still filling its filter
        const int channels = stream_.info.channels;
        float** buffer = vorbis_.vorbis_analysis_buffer(&stream_.dsp, static_cast<int>(frames));
        for (std::size_t f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) buffer[c][f] = interleaved[f * channels + c];
        vorbis_.vorbis_analysis_wrote(&stream_.dsp, static_cast<int>(frames));
        return WriteReadyPages();
    }

    // The end of the input makes libvorbis give its last packet, on the
    // end-of-stream page.
    bool Finish() {
        vorbis_.vorbis_analysis_wrote(&stream_.dsp, 0);
        return WriteReadyPages() && eos_;
    }

private:
    bool WriteReadyPages() {
        while (vorbis_.vorbis_analysis_blockout(&stream_.dsp, &stream_.block) == 1) {
            vorbis_.vorbis_analysis(&stream_.block, nullptr);
            vorbis_.vorbis_bitrate_addblock(&stream_.block);
            ogg_packet packet;
            while (vorbis_.vorbis_bitrate_flushpacket(&stream_.dsp, &packet) != 0) {
                ogg_.ogg_stream_packetin(&stream_.stream, &packet);
                ogg_page page;
                while (!eos_ && ogg_.ogg_stream_pageout(&stream_.stream, &page) != 0) {
                    if (!WritePage(page)) return false;
                    eos_ = ogg_.ogg_page_eos(&page) != 0;
                }
            }
        }
        return true;
    }

    bool WritePage(const ogg_page& page) {
        return target_.WriteAll(page.header, static_cast<std::size_t>(page.header_len)) &&
               target_.WriteAll(page.body, static_cast<std::size_t>(page.body_len));
    }

    const OggCalls& ogg_;
    const VorbisCalls& vorbis_;
    VorbisStream& stream_;
    ExclusiveFile& target_;
    bool eos_ = false;
};

// Why the stream could not be made: the source's fault, the target's, or else the encoder's.
std::string EncodingProblem(const WavSource& source, const ExclusiveFile& target) {
    std::string problem = source.problem();
    if (!problem.empty()) return problem;
    return target.error() ? WriteProblem(target.error()) : "the Vorbis encoder failed";
}

// Reads the data chunk in blocks of 1024 frames, brings them to the
// stream's channels (and rate), and encodes them.
Outcome EncodeSource(EngineRun& run, WavSource& source, StreamFormat format, VorbisEncoder& encoder,
                     const ExclusiveFile& target) {
    const auto failed = [&] { return Outcome::Failed(EncodingProblem(source, target)); };
    const int sourceChannels = source.header().channels;
    const long sourceRate = static_cast<long>(source.header().sampleRate);
    std::optional<Resampler> resampler;
    if (format.rate != sourceRate) {
        resampler.emplace(sourceRate, format.rate, format.channels);
        if (!resampler->ok()) return failed();
    }
    std::vector<uint8_t> block(kReadFrames * sourceChannels * 2);
    std::vector<float> frames, resampled;
    const auto encode = [&](const std::vector<float>& samples) {
        return encoder.Encode(samples.data(), samples.size() / format.channels);
    };
    while (!source.atEnd()) {
        std::size_t count = 0;
        if (!source.Read(block.data(), block.size(), count) || count == 0) return failed();
        ToStreamChannels(block.data(), count / (2 * sourceChannels), sourceChannels, format.channels, frames);
        if (resampler) {
            resampled.clear();
            if (!resampler->Process(frames.data(), frames.size() / format.channels, resampled)) return failed();
        }
        if (!encode(resampler ? resampled : frames)) return failed();
        if (run.StopRequested()) return Outcome::Stopped();
        run.Progress(source.bytesRead(), source.audioBytes());
    }
    if (resampler) {
        resampled.clear();
        if (!resampler->Flush(resampled) || !encode(resampled)) return failed();
    }
    return encoder.Finish() ? Outcome::Done() : failed();
}

}  // namespace

void EncodeOggVorbis(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const DenormalsFlushed denormalsFlushed;
    const auto* settings = RequiredSettings<OggVorbisSettings>(run);
    if (!settings) return;
    WavSource source(job.sourcePath);
    if (!source.ok()) return run.Fail(source.problem());
    if (!IsPcmFormat(source.header())) return run.Fail("a WAV header with an impossible rate, channel count or sample size");
    if (source.header().bitsPerSample != 16) return run.Fail("the Ogg encoder takes 16-bit PCM");
    ExclusiveFile target(job.targetPath, ExclusiveFile::kCreate);
    if (!target.is_open()) return run.Fail(WriteProblem(target.error()));
    OggCalls ogg;
    VorbisCalls vorbis;
    VorbisEncCalls enc;
    CodecLibraries libraries;
    if (!LoadOggCalls(libraries, ogg) || !LoadVorbisCalls(libraries, vorbis) || !LoadVorbisEncCalls(libraries, enc))
        return run.Fail(libraries.error());

    const StreamFormat format{static_cast<int>(settings->channelMode),
                              settings->sampleRateMode == SampleRateMode::kResample ? settings->resampleRate
                                                            : static_cast<long>(source.header().sampleRate)};
    if ((format.channels != 1 && format.channels != 2) || !IsPcmRate(static_cast<uint64_t>(std::max(format.rate, 0L))))
        return run.Fail("no Ogg Vorbis encoding for this channel setting or sample rate");
    Outcome outcome = Outcome::Done();
    {
        VorbisStream stream(ogg, vorbis, SerialNumber());
        if (!SetUpEncoder(enc, stream.info, *settings, format) || !stream.StartAnalysis())
            return run.Fail("libvorbis has no encoding for " + std::to_string(format.channels) + " channels at " +
                            std::to_string(format.rate) + " Hz with these settings");
        VorbisEncoder encoder(ogg, vorbis, stream, target);
        outcome = encoder.WriteHeaders() ? EncodeSource(run, source, format, encoder, target)
                                         : Outcome::Failed(EncodingProblem(source, target));
    }
    if (!run.GoesOn(outcome)) return;
    if (!target.Close()) return run.Fail(EncodingProblem(source, target));
    run.Succeed();
}

const EngineDescriptor kEncOggVorbis{"ENCOGGVORBIS", EncodeOggVorbis};

}  // namespace zelph
