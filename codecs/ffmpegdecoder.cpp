#include "codecs/ffmpegdecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <utility>
#include <cstring>
#include <type_traits>
#include <vector>

#include "codecs/engine.h"
#include "codecs/ffmpegcalls.h"
#include "codecs/pcmfiles.h"
#include "codecs/reasons.h"
#include "codecs/samplereduction.h"
#include "codecs/wavpcmengine.h"
#include "formats/exclusivefile.h"
#include "formats/probes.h"
#include "formats/probetext.h"
#include "formats/waveheader.h"

namespace zelph {

namespace {

// The demuxers of the formats we describe; every other one FFmpeg has stays
// shut to these files (the iff demuxer reads DSDIFF).
constexpr char kDemuxers[] = "mov,aac,asf,aiff,wv,tta,mpc,mpc8,dsf,iff,caf,w64,ac3,eac3,matroska";

// A codec we decode: its name in the file list, whether it is lossless (then
// described by its sample size, else by its bit rate) and FFmpeg's decoders
// of it.
struct Codec {
    AVCodecID id;
    const char* text;
    bool lossless;
    const char* decoders;
};
constexpr Codec kCodecs[] = {
    {AV_CODEC_ID_AAC, "AAC", false, "aac,aac_fixed"},
    {AV_CODEC_ID_ALAC, "ALAC", true, "alac"},
    {AV_CODEC_ID_WMAV1, "WMA", false, "wmav1"},
    {AV_CODEC_ID_WMAV2, "WMA", false, "wmav2"},
    {AV_CODEC_ID_WMAPRO, "WMA Pro", false, "wmapro"},
    {AV_CODEC_ID_WMALOSSLESS, "WMA Lossless", true, "wmalossless"},
    {AV_CODEC_ID_WAVPACK, "WavPack", true, "wavpack"},
    {AV_CODEC_ID_TTA, "TTA", true, "tta"},
    {AV_CODEC_ID_MUSEPACK7, "Musepack", false, "mpc7"},
    {AV_CODEC_ID_MUSEPACK8, "Musepack", false, "mpc8"},
    {AV_CODEC_ID_DSD_LSBF, "DSD", true, "dsd_lsbf"},
    {AV_CODEC_ID_DSD_MSBF, "DSD", true, "dsd_msbf"},
    {AV_CODEC_ID_DSD_LSBF_PLANAR, "DSD", true, "dsd_lsbf_planar"},
    {AV_CODEC_ID_DSD_MSBF_PLANAR, "DSD", true, "dsd_msbf_planar"},
    {AV_CODEC_ID_AC3, "AC3", false, "ac3,ac3_fixed"},
    {AV_CODEC_ID_EAC3, "E-AC3", false, "eac3"},
    {AV_CODEC_ID_FLAC, "FLAC", true, "flac"},
    {AV_CODEC_ID_MP3, "MP3", false, "mp3float,mp3"},
    {AV_CODEC_ID_VORBIS, "Vorbis", false, "vorbis"},
    {AV_CODEC_ID_OPUS, "Opus", false, "opus"},
    {AV_CODEC_ID_PCM_U8, "PCM", true, "pcm_u8"},
    {AV_CODEC_ID_PCM_S8, "PCM", true, "pcm_s8"},
    {AV_CODEC_ID_PCM_S16LE, "PCM", true, "pcm_s16le"},
    {AV_CODEC_ID_PCM_S16BE, "PCM", true, "pcm_s16be"},
    {AV_CODEC_ID_PCM_S24LE, "PCM", true, "pcm_s24le"},
    {AV_CODEC_ID_PCM_S24BE, "PCM", true, "pcm_s24be"},
    {AV_CODEC_ID_PCM_S32LE, "PCM", true, "pcm_s32le"},
    {AV_CODEC_ID_PCM_S32BE, "PCM", true, "pcm_s32be"},
    {AV_CODEC_ID_PCM_F32LE, "PCM Float", true, "pcm_f32le"},
    {AV_CODEC_ID_PCM_F32BE, "PCM Float", true, "pcm_f32be"},
    {AV_CODEC_ID_PCM_F64LE, "PCM Float", true, "pcm_f64le"},
    {AV_CODEC_ID_PCM_F64BE, "PCM Float", true, "pcm_f64be"},
    {AV_CODEC_ID_PCM_ALAW, "A-law", true, "pcm_alaw"},
    {AV_CODEC_ID_PCM_MULAW, "mu-law", true, "pcm_mulaw"},
};

// Plain PCM is named by its container.
constexpr std::pair<const char*, const char*> kPcmContainers[] = {
    {"aiff", "AIFF"}, {"w64", "Wave64"}, {"caf", "CAF"}, {"matroska,webm", "Matroska"}, {"mov,mp4,m4a,3gp,3g2,mj2", "MP4"}};

const Codec* FindCodec(AVCodecID id) {
    const auto found = std::find_if(std::begin(kCodecs), std::end(kCodecs), [&](const Codec& c) { return c.id == id; });
    return found == std::end(kCodecs) ? nullptr : found;
}

std::string DecoderWhitelist() {
    std::string list;
    for (const Codec& codec : kCodecs) list += (list.empty() ? "" : ",") + std::string(codec.decoders);
    return list;
}

// The file's audio stream, opened through the whitelists alone.
class AudioInput {
public:
    AudioInput(const FfmpegCalls& av, int fd) : file_{av} {
        // FFmpeg opens the very file we hold, by its descriptor, as a plain
        // file: a name that looks like a protocol or a list of files is
        // never followed.
        const std::string url = "file:/proc/self/fd/" + std::to_string(fd);
        file_.context = av.avformat_alloc_context();
        AvOptions options{av};
        av.av_dict_set(&options.dictionary, "format_whitelist", kDemuxers, 0);
        av.av_dict_set(&options.dictionary, "codec_whitelist", DecoderWhitelist().c_str(), 0);
        av.av_dict_set(&options.dictionary, "protocol_whitelist", "file", 0);
        if (!file_.context || av.avformat_open_input(&file_.context, url.c_str(), nullptr, &options.dictionary) < 0) {
            problem_ = "not a file of a format it reads";
            return;
        }
        if (av.avformat_find_stream_info(file_.context, nullptr) < 0) {
            problem_ = "the file's streams cannot be read";
            return;
        }
        stream_ = av.av_find_best_stream(file_.context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream_ < 0) {
            problem_ = "the file holds no audio stream";
            return;
        }
        codec_ = FindCodec(parameters().codec_id);
        if (!codec_) problem_ = "its audio is of a codec it does not decode";
    }

    // "" when the file opened and its audio is of a codec we decode.
    const std::string& problem() const { return problem_; }
    AVFormatContext* context() const { return file_.context; }
    int stream() const { return stream_; }
    const AVStream& audio() const { return *file_.context->streams[stream_]; }
    const AVCodecParameters& parameters() const { return *audio().codecpar; }
    const Codec& codec() const { return *codec_; }

private:
    AvInput file_;
    std::string problem_;
    int stream_ = -1;
    const Codec* codec_ = nullptr;
};

std::string ChannelText(int channels) {
    return channels == 1 ? "Mono" : channels == 2 ? "Stereo" : std::to_string(channels) + "Ch";
}

std::string Describe(const FfmpegCalls& av, const AudioInput& input) {
    const AVCodecParameters& form = input.parameters();
    const Codec& codec = input.codec();
    std::string text = codec.text;
    for (const auto& [demuxer, name] : kPcmContainers)
        if (text.starts_with("PCM") && std::strcmp(input.context()->iformat->name, demuxer) == 0)
            text = name + text.substr(3);
    if (const char* profile = av.avcodec_profile_name(form.codec_id, form.profile); profile && form.codec_id == AV_CODEC_ID_AAC)
        text += std::string(" ") + profile;
    text += " " + ChannelText(form.ch_layout.nb_channels);
    const bool dsd = codec.text == std::string_view("DSD");
    if (codec.lossless) {
        const int bits = dsd ? 1 : form.bits_per_raw_sample ? form.bits_per_raw_sample : form.bits_per_coded_sample;
        if (bits > 0) text += FormatDescription(" %dBit", bits);
    } else {
        const long long rate = form.bit_rate ? form.bit_rate : input.context()->bit_rate;
        if (rate > 0) text += FormatDescription(" %lldKbps", rate / 1000 + (rate % 1000 >= 500));
    }
    // A DSD stream is decoded at an eighth of its own rate.
    return text + FormatDescription(" %lldHz", static_cast<long long>(form.sample_rate) * (dsd ? 8 : 1));
}

// The WAV form of the decoded frames: FFmpeg's sample format, packed.
struct WavForm {
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;  // packed
    int channels = 0;
    int rate = 0;
    int bits = 0;          // of the WAV's samples
    bool floating = false;
    bool operator==(const WavForm&) const = default;
};

WavForm FormOf(const FfmpegCalls& av, const AVFrame& frame, int rawBits) {
    WavForm form;
    form.format = av.av_get_packed_sample_fmt(static_cast<AVSampleFormat>(frame.format));
    form.channels = frame.ch_layout.nb_channels;
    form.rate = frame.sample_rate;
    switch (form.format) {
        case AV_SAMPLE_FMT_U8: form.bits = 8; break;
        case AV_SAMPLE_FMT_S16: form.bits = 16; break;
        // 24-bit audio comes in 32-bit words, its low byte empty.
        case AV_SAMPLE_FMT_S32: form.bits = rawBits == 24 ? 24 : 32; break;
        case AV_SAMPLE_FMT_FLT:
        case AV_SAMPLE_FMT_DBL: form.bits = 32, form.floating = true; break;
        default: form.bits = 0;
    }
    return form;
}

// Interleaves one frame's samples of `In` into WAV samples of `outBytes`
// bytes: the top bytes of each (24-bit audio), or the value narrowed to float
// (double). One loop per sample type, so the per-sample work has no branch.
template <typename In, int outBytes>
void Interleave(const AVFrame& frame, int channels, bool planar, uint8_t* at) {
    const std::size_t samples = static_cast<std::size_t>(frame.nb_samples);
    for (int c = 0; c < channels; ++c) {
        const uint8_t* from = planar ? frame.extended_data[c] : frame.extended_data[0] + c * sizeof(In);
        const std::size_t step = planar ? sizeof(In) : sizeof(In) * channels;
        uint8_t* to = at + c * outBytes;
        for (std::size_t i = 0; i < samples; ++i, from += step, to += outBytes * channels) {
            if constexpr (std::is_same_v<In, double>) {
                double value;
                std::memcpy(&value, from, sizeof value);
                const float narrowed = static_cast<float>(value);
                std::memcpy(to, &narrowed, sizeof narrowed);
            } else {
                std::memcpy(to, from + (sizeof(In) - outBytes), outBytes);
            }
        }
    }
}

std::size_t FrameBytes(const AVFrame& frame, const WavForm& form) {
    return static_cast<std::size_t>(frame.nb_samples) * form.channels * (form.bits / 8);
}

// One frame as the WAV holds it: interleaved, little-endian, 8-bit samples
// unsigned (as FFmpeg gives them), 24-bit ones the top three bytes of each
// word, double brought to float.
void PutFrame(const FfmpegCalls& av, const AVFrame& frame, const WavForm& form, uint8_t* at) {
    static_assert(std::endian::native == std::endian::little);
    const bool planar = av.av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame.format));
    if (form.format == AV_SAMPLE_FMT_DBL) return Interleave<double, 4>(frame, form.channels, planar, at);
    switch (form.bits) {
        case 8: return Interleave<uint8_t, 1>(frame, form.channels, planar, at);
        case 16: return Interleave<int16_t, 2>(frame, form.channels, planar, at);
        case 24: return Interleave<int32_t, 3>(frame, form.channels, planar, at);
        default: return Interleave<int32_t, 4>(frame, form.channels, planar, at);
    }
}

// Decoded audio is gathered up to this size before it is written.
constexpr std::size_t kWriteBytes = 1 << 18;

class Decoding {
public:
    // `asked`: the form the WAV stage will bring the audio to, if the job says.
    Decoding(EngineRun& run, const FfmpegCalls& av, const AudioInput& input, WavSink& sink, uint64_t sourceBytes,
             std::optional<PcmForm> asked)
        : run_(run), av_(av), input_(input), sink_(sink), sourceBytes_(sourceBytes), asked_(asked) {}

    Outcome Run() {
        AvDecoder decoder{av_};
        const AVCodec* codec = nullptr;
        // The decoder the stream's codec has, and it must be one of ours.
        AVFormatContext* file = input_.context();
        av_.av_find_best_stream(file, AVMEDIA_TYPE_AUDIO, input_.stream(), -1, &codec, 0);
        decoder.context = codec ? av_.avcodec_alloc_context3(codec) : nullptr;
        if (!decoder.context || av_.avcodec_parameters_to_context(decoder.context, &input_.parameters()) < 0)
            return Outcome::Failed("FFmpeg cannot start a decoder of its audio");
        decoder.context->pkt_timebase = input_.audio().time_base;
        AvOptions options{av_};
        av_.av_dict_set(&options.dictionary, "codec_whitelist", input_.codec().decoders, 0);
        if (av_.avcodec_open2(decoder.context, codec, &options.dictionary) < 0)
            return Outcome::Failed("FFmpeg cannot start a decoder of its audio");
        rawBits_ = input_.parameters().bits_per_raw_sample;

        AvPacket packet{av_};
        AvFrame frame{av_};
        for (;;) {
            const int read = av_.av_read_frame(file, packet.packet);
            if (read == AVERROR_EOF) break;
            // A damaged tail ends the stream as a short file does.
            if (read < 0) break;
            const bool ours = packet.packet->stream_index == input_.stream();
            const int64_t at = packet.packet->pos;
            const int sent = ours ? av_.avcodec_send_packet(decoder.context, packet.packet) : 0;
            av_.av_packet_unref(packet.packet);
            if (sent < 0) ++skipped_;
            if (Outcome drained = Drain(decoder.context, frame.frame); !drained.done()) return drained;
            if (at > 0) run_.Progress(static_cast<uint64_t>(at), sourceBytes_);
            if (run_.StopRequested()) return Outcome::Stopped();
        }
        if (av_.avcodec_send_packet(decoder.context, nullptr) >= 0)
            if (Outcome drained = Drain(decoder.context, frame.frame); !drained.done()) return drained;
        if (frames_ == 0) return Outcome::Failed("no audio FFmpeg can decode");
        if (skipped_) run_.Note("damaged: " + std::to_string(skipped_) + (skipped_ == 1 ? " packet" : " packets") + " skipped");
        return Flush() ? Outcome::Done() : Outcome::Failed(sink_.problem());
    }

    // The WAV form written: the decoder's, or the one the stage asked for.
    WavForm written() const { return reducer_ ? reduced_ : form_; }

private:
    Outcome Drain(AVCodecContext* decoder, AVFrame* frame) {
        for (;;) {
            const int got = av_.avcodec_receive_frame(decoder, frame);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return Outcome::Done();
            if (got < 0) {
                ++skipped_;
                return Outcome::Done();
            }
            const WavForm form = FormOf(av_, *frame, rawBits_);
            if (frames_ == 0) StartForm(form);
            if (form.bits == 0 || form.channels < 1 || form.rate < 1)
                return Outcome::Failed("FFmpeg decodes its audio to samples of a form a WAV cannot hold");
            if (!(form == form_)) return Outcome::Failed("its audio changes channels, rate or sample form midway");
            AppendFrame(*frame);
            frames_ += static_cast<uint64_t>(frame->nb_samples);
            av_.av_frame_unref(frame);
            if (blockBytes_ >= kWriteBytes && !Flush()) return Outcome::Failed(sink_.problem());
        }
    }

    // The block only grows to hold a frame more than it ever has, so its
    // bytes are not cleared again for every frame that is written over them.
    void AppendFrame(const AVFrame& frame) {
        const std::size_t bytes = FrameBytes(frame, written());
        if (block_.size() < blockBytes_ + bytes) block_.resize(blockBytes_ + bytes);
        uint8_t* at = block_.data() + blockBytes_;
        if (reducer_) {
            ReduceFrame(frame, at);
        } else {
            PutFrame(av_, frame, form_, at);
        }
        blockBytes_ += bytes;
    }

    // Float audio bound for 8 or 16 bits is dithered here, as the WAV stage
    // would do it (the same reducer, the same bytes), straight from FFmpeg's
    // frames, so that it never goes through a file as float first. More
    // channels keep the stage's fold; double samples go to the stage as float.
    void StartForm(const WavForm& form) {
        form_ = form;
        if (!asked_ || form.format != AV_SAMPLE_FMT_FLT || form.channels > 2) return;
        WaveFormat source;
        source.header.formatTag = kWaveFormatFloat;
        source.header.channels = static_cast<uint16_t>(form.channels);
        source.header.sampleRate = static_cast<uint32_t>(form.rate);
        source.header.bitsPerSample = 32;
        source.header.blockAlign = static_cast<uint16_t>(form.channels * 4);
        const PcmForm to = ResolveForm(*asked_, source.header);
        reducer_.emplace(source, to.channels, to.bits);
        reduced_ = form;
        reduced_.format = to.bits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
        reduced_.channels = to.channels;
        reduced_.bits = to.bits;
        reduced_.floating = false;
    }

    void ReduceFrame(const AVFrame& frame, uint8_t* at) {
        const bool planar = av_.av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame.format));
        const auto frames = static_cast<std::size_t>(frame.nb_samples);
        for (std::size_t done = 0; done < frames;) {
            const std::size_t count = std::min(SampleReducer::kMaxFrames, frames - done);
            if (planar) {
                std::array<const float*, 2> planes{};
                for (int c = 0; c < form_.channels; ++c)
                    planes[c] = reinterpret_cast<const float*>(frame.extended_data[c]) + done;
                at += reducer_->ConvertPlanes(planes.data(), count, at);
            } else {
                at += reducer_->Convert(frame.extended_data[0] + done * form_.channels * 4, count, at);
            }
            done += count;
        }
    }

    bool Flush() {
        const bool ok = sink_.Write(block_.data(), blockBytes_);
        blockBytes_ = 0;
        return ok;
    }

    EngineRun& run_;
    const FfmpegCalls& av_;
    const AudioInput& input_;
    WavSink& sink_;
    const uint64_t sourceBytes_;
    int rawBits_ = 0;
    WavForm form_;
    uint64_t frames_ = 0;
    uint64_t skipped_ = 0;
    std::vector<uint8_t> block_;
    std::size_t blockBytes_ = 0;  // of block_ holding audio not yet written
    std::optional<PcmForm> asked_;
    std::optional<SampleReducer> reducer_;
    WavForm reduced_;
};

}  // namespace

std::string DescribeFfmpegFile(const std::string& path) {
    ExclusiveFile file(path, ExclusiveFile::kRead);
    if (!file.is_open()) return kFileInUseText;
    std::string error;
    const FfmpegCalls* av = LoadFfmpeg(error);
    if (!av) return "Unreadable Without FFmpeg";
    const AudioInput input(*av, file.fd());
    return input.problem().empty() ? Describe(*av, input) : "Unrecognized Audio File Format";
}

void DecodeFfmpeg(const Job& job, JobState& state) {
    EngineRun run(job, state);
    ExclusiveFile source(job.sourcePath, ExclusiveFile::kRead);
    if (!source.is_open()) return run.Fail(ReadProblem(job.sourcePath, source.error()));
    WavSink target(job.targetPath);
    if (!target.ok()) return run.Fail(target.problem());
    std::string error;
    const FfmpegCalls* av = LoadFfmpeg(error);
    if (!av) return run.Fail(error);

    const AudioInput input(*av, source.fd());
    if (!input.problem().empty()) return run.Fail(input.problem());
    std::optional<PcmForm> asked = FormAsked(job.settings);
    if (asked && !IsKnownForm(*asked)) asked.reset();
    Decoding decoding(run, *av, input, target, source.Size(), asked);
    if (!run.GoesOn(decoding.Run())) return;
    const WavForm form = decoding.written();
    if (!target.Finish(static_cast<uint16_t>(form.channels), static_cast<uint32_t>(form.rate),
                       static_cast<uint16_t>(form.bits), form.floating ? kWaveFormatFloat : kWaveFormatPcm))
        return run.Fail(target.problem());
    run.Succeed();
}

const EngineDescriptor kDecFfmpeg{"DECFFMPEG", DecodeFfmpeg};

}  // namespace zelph
