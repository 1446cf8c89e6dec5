#include "codecs/m4aencoder.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <type_traits>
#include <string>
#include <vector>

#include "codecs/engine.h"
#include "codecs/ffmpegcalls.h"
#include "codecs/pcmfiles.h"
#include "codecs/reasons.h"
#include "codecs/resampler.h"
#include "formats/exclusivefile.h"
#include "formats/m4aform.h"
#include "formats/readonlyfile.h"
#include "formats/pcmlimits.h"
#include "metadata/mp4tags.h"
#include "settings/aactuning.h"
#include "settings/alactuning.h"

namespace zelph {

namespace {

// How one codec is set up for one WAV: FFmpeg's encoder, the planar sample
// format it takes, the rate it is given and the codec's own settings on the
// context.
struct CodecSetup {
    const char* encoder = nullptr;
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;  // AV_SAMPLE_FMT_FLTP: through floats
    int rate = 0;
    bool gapless = false;  // it primes and pads, which iTunSMPB states
    std::function<void(AVCodecContext&)> configure = [](AVCodecContext&) {};
};

// The rates AAC's sampling frequency index names, from the lowest.
constexpr int kAacRates[] = {7350, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000};

// The rate AAC is given: the source's when AAC names it, else the next
// named one above (96 kHz for anything above that).
int AacRate(uint32_t sourceRate) {
    const auto above = std::lower_bound(std::begin(kAacRates), std::end(kAacRates), static_cast<int64_t>(sourceRate));
    return above == std::end(kAacRates) ? kAacRates[std::size(kAacRates) - 1] : *above;
}

// The muxer's bytes into the run file, which it seeks back into to write the
// sizes it learns at the end.
class FileSink {
public:
    explicit FileSink(ExclusiveFile& file) : file_(file) {}
    bool failed() const { return failed_; }
    int error() const { return file_.error(); }

    static int Write(void* opaque, uint8_t* bytes, int size) {
        auto& sink = *static_cast<FileSink*>(opaque);
        if (!sink.file_.WriteAllAt(sink.position_, bytes, static_cast<std::size_t>(size))) {
            sink.failed_ = true;
            return AVERROR(EIO);
        }
        sink.position_ += static_cast<uint64_t>(size);
        return size;
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto& sink = *static_cast<FileSink*>(opaque);
        const auto size = static_cast<int64_t>(sink.file_.Size());
        int64_t to = offset;
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE: return size;
            case SEEK_SET: break;
            case SEEK_CUR: to += static_cast<int64_t>(sink.position_); break;
            case SEEK_END: to += size; break;
            default: return AVERROR(EINVAL);
        }
        if (to < 0) return AVERROR(EINVAL);
        sink.position_ = static_cast<uint64_t>(to);
        return to;
    }

private:
    ExclusiveFile& file_;
    uint64_t position_ = 0;
    bool failed_ = false;
};

// Calls `body` with the sample width as a constant, so that the per-sample
// loops it runs are built for that width.
template <typename Body>
void ForSampleBytes(int bytes, Body body) {
    switch (bytes) {
        case 1: return body(std::integral_constant<int, 1>{});
        case 2: return body(std::integral_constant<int, 2>{});
        case 3: return body(std::integral_constant<int, 3>{});
        default: return body(std::integral_constant<int, 4>{});
    }
}

// Interleaved WAV samples appended to `out` as floats at 1.0 for full scale.
void AppendFloats(const uint8_t* in, std::size_t samples, const WaveHeader& header, std::vector<float>& out) {
    const bool floating = header.formatTag == kWaveFormatFloat;
    const std::size_t start = out.size();
    out.resize(start + samples);
    float* to = out.data() + start;
    ForSampleBytes(header.bitsPerSample / 8, [&](auto bytes) {
        for (std::size_t i = 0; i < samples; ++i, in += bytes) {
            const uint32_t value = JustifiedSample(in, bytes);
            if (floating) std::memcpy(&to[i], &value, sizeof(float));
            else to[i] = static_cast<float>(static_cast<int32_t>(value)) / 2147483648.0f;
        }
    });
}

// Interleaved WAV samples into the frame's 16- or 32-bit planes; a 32-bit
// plane holds 24-bit samples, the top three bytes.
void FillIntegerPlanes(const uint8_t* in, int frames, const WaveHeader& header, AVFrame& frame) {
    const bool wide = frame.format == AV_SAMPLE_FMT_S32P;
    ForSampleBytes(header.bitsPerSample / 8, [&](auto bytes) {
        for (int c = 0; c < header.channels; ++c) {
            const uint8_t* sample = in + c * bytes;
            auto* wideOut = reinterpret_cast<int32_t*>(frame.extended_data[c]);
            auto* narrowOut = reinterpret_cast<int16_t*>(frame.extended_data[c]);
            for (int i = 0; i < frames; ++i, sample += header.blockAlign) {
                const uint32_t value = JustifiedSample(sample, bytes);
                if (wide) wideOut[i] = static_cast<int32_t>(value & 0xFFFFFF00u);
                else narrowOut[i] = static_cast<int16_t>(value >> 16);
            }
        }
    });
}

void FillFloatPlanes(const float* in, int frames, int channels, AVFrame& frame) {
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) reinterpret_cast<float*>(frame.extended_data[c])[i] = *in++;
}

// The encoder's own layout of `channels` where it lists its layouts (ALAC's
// eight channels are 7.1 with wide speakers), else FFmpeg's usual one. Both
// are plain speaker masks, which a copy by value keeps whole.
AVChannelLayout LayoutFor(const FfmpegCalls& av, const AVCodec& codec, int channels) {
    for (const AVChannelLayout* listed = codec.ch_layouts; listed && listed->nb_channels; ++listed)
        if (listed->nb_channels == channels && listed->order == AV_CHANNEL_ORDER_NATIVE) return *listed;
    AVChannelLayout usual{};
    av.av_channel_layout_default(&usual, channels);
    return usual;
}

// One M4A written from the WAV: the encoder, the muxer, and the counts the
// gapless figures are made of. Every failure is told through `run`.
class M4aWriter {
public:
    M4aWriter(const FfmpegCalls& av, EngineRun& run, ExclusiveFile& target)
        : av_(av), run_(run), sink_(target), encoder_{av}, output_{av}, packet_{av}, frame_{av} {}

    // Opens the encoder and the muxer; false when either refuses.
    bool Open(const CodecSetup& setup, const WaveHeader& header) {
        const AVCodec* codec = av_.avcodec_find_encoder_by_name(setup.encoder);
        encoder_.context = codec ? av_.avcodec_alloc_context3(codec) : nullptr;
        if (!encoder_.context) return Fail(std::string("FFmpeg has no ") + setup.encoder + " encoder");
        AVCodecContext& context = *encoder_.context;
        context.sample_rate = setup.rate;
        context.time_base = {1, context.sample_rate};
        context.sample_fmt = setup.format;
        context.ch_layout = LayoutFor(av_, *codec, header.channels);
        context.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        setup.configure(context);
        if (av_.avcodec_open2(encoder_.context, codec, nullptr) < 0)
            return Fail(std::string("the ") + setup.encoder + " encoder refused the audio's form");
        gapless_ = setup.gapless;

        if (av_.avformat_alloc_output_context2(&output_.context, nullptr, "ipod", nullptr) < 0)
            return Fail("FFmpeg has no M4A muxer");
        constexpr int kBufferBytes = 1 << 16;
        auto* buffer = static_cast<unsigned char*>(av_.av_malloc(kBufferBytes));
        output_.io = buffer ? av_.avio_alloc_context(buffer, kBufferBytes, 1, &sink_, nullptr, FileSink::Write,
                                                     FileSink::Seek)
                            : nullptr;
        if (!output_.io) {
            av_.av_free(buffer);
            return Fail("out of memory");
        }
        output_.context->pb = output_.io;
        // No library version in the file: the same audio makes the same bytes.
        output_.context->flags |= AVFMT_FLAG_BITEXACT;
        stream_ = av_.avformat_new_stream(output_.context, nullptr);
        if (!stream_ || av_.avcodec_parameters_from_context(stream_->codecpar, encoder_.context) < 0)
            return Fail("the M4A stream cannot be set up");
        stream_->time_base = context.time_base;
        // The movie's clock at the sample rate, so the edit list states the
        // audio's length to the sample.
        AvOptions options{av_};
        av_.av_dict_set(&options.dictionary, "movie_timescale", std::to_string(context.sample_rate).c_str(), 0);
        if (av_.avformat_write_header(output_.context, &options.dictionary) < 0) return WriteFailed();
        frame_.frame->format = setup.format;
        frame_.frame->sample_rate = context.sample_rate;
        frameSize_ = context.frame_size ? context.frame_size : 4096;
        frame_.frame->nb_samples = frameSize_;
        frame_.frame->ch_layout = context.ch_layout;
        if (av_.av_frame_get_buffer(frame_.frame, 0) < 0) return Fail("out of memory");
        return true;
    }

    // The frames the encoder takes at a time.
    int frameSize() const { return frameSize_; }

    // Encodes `frames` interleaved WAV frames, at most a frame size (the
    // last block may be short).
    bool EncodeIntegers(const uint8_t* wav, int frames, const WaveHeader& header) {
        if (!Writable()) return false;
        FillIntegerPlanes(wav, frames, header, *frame_.frame);
        return Send(frames);
    }

    // Encodes the whole frames of interleaved floats `pending` holds, and
    // with `last` the rest too; what is encoded leaves `pending`.
    bool EncodeFloats(std::vector<float>& pending, int channels, bool last) {
        const std::size_t whole = static_cast<std::size_t>(frameSize()) * channels;
        std::size_t used = 0;
        while (pending.size() - used >= whole || (last && pending.size() > used)) {
            const std::size_t taken = std::min(whole, pending.size() - used);
            if (!Writable()) return false;
            FillFloatPlanes(pending.data() + used, static_cast<int>(taken / channels), channels, *frame_.frame);
            if (!Send(static_cast<int>(taken / channels))) return false;
            used += taken;
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(used));
        return true;
    }

    // Drains the encoder, closes the stream and states the gapless figures;
    // the file is then complete.
    bool Finish(const std::string& path) {
        if (av_.avcodec_send_frame(encoder_.context, nullptr) < 0 || !Mux()) return Fail("the encoder stopped");
        if (av_.av_write_trailer(output_.context) < 0 || sink_.failed()) return WriteFailed();
        if (!gapless_) return true;
        const auto delay = static_cast<uint32_t>(encoder_.context->initial_padding);
        const GaplessInfo info{delay, static_cast<uint32_t>(encoded_ - frames_ - delay), frames_};
        if (std::string problem = WriteGaplessInfo(path, info); !problem.empty()) return Fail(problem);
        return true;
    }

private:
    // The encoder may still hold the frame's buffer from the last send.
    bool Writable() { return av_.av_frame_make_writable(frame_.frame) >= 0 || Fail("out of memory"); }

    // Sends the frame's first `frames` frames to the encoder.
    bool Send(int frames) {
        AVFrame& frame = *frame_.frame;
        frame.nb_samples = frames;
        frame.pts = static_cast<int64_t>(frames_);
        frames_ += static_cast<uint64_t>(frames);
        if (av_.avcodec_send_frame(encoder_.context, &frame) < 0) return Fail("the encoder stopped");
        return Mux();
    }

    // Writes every packet the encoder has ready.
    bool Mux() {
        for (;;) {
            const int got = av_.avcodec_receive_packet(encoder_.context, packet_.packet);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
            if (got < 0) return Fail("the encoder stopped");
            encoded_ += static_cast<uint64_t>(encoder_.context->frame_size);
            packet_.packet->stream_index = stream_->index;
            av_.av_packet_rescale_ts(packet_.packet, encoder_.context->time_base, stream_->time_base);
            if (av_.av_write_frame(output_.context, packet_.packet) < 0 || sink_.failed()) return WriteFailed();
        }
    }

    bool WriteFailed() { return Fail(sink_.failed() ? WriteProblem(sink_.error()) : "the M4A muxer stopped"); }

    bool Fail(const std::string& reason) {
        run_.Fail(reason);
        return false;
    }

    const FfmpegCalls& av_;
    EngineRun& run_;
    FileSink sink_;
    AvEncoder encoder_;
    AvOutput output_;
    AvPacket packet_;
    AvFrame frame_;
    AVStream* stream_ = nullptr;
    bool gapless_ = false;
    int frameSize_ = 0;
    uint64_t frames_ = 0;   // given to the encoder
    uint64_t encoded_ = 0;  // in its packets, priming and padding included
};

// The whole engine: the WAV in, the codec `setupFor` chooses for it out
// (or its reason to refuse the WAV).
using SetupFor = std::function<std::string(const WaveHeader&, CodecSetup&)>;
void EncodeM4a(EngineRun& run, const Job& job, const SetupFor& setupFor) {
    WavSource source(job.sourcePath);
    if (!source.ok()) return run.Fail(source.problem());
    const WaveHeader& header = source.header();
    CodecSetup setup;
    if (std::string refused = setupFor(header, setup); !refused.empty()) return run.Fail(refused);
    ExclusiveFile target(job.targetPath, ExclusiveFile::kCreate);
    if (!target.is_open()) return run.Fail(WriteProblem(target.error()));
    std::string error;
    const FfmpegCalls* av = LoadFfmpeg(error);
    if (!av) return run.Fail(error);

    M4aWriter writer(*av, run, target);
    if (!writer.Open(setup, header)) return;
    const bool floats = setup.format == AV_SAMPLE_FMT_FLTP;
    const int channels = header.channels;
    std::optional<Resampler> resampler;
    if (setup.rate != static_cast<int>(header.sampleRate)) {
        resampler.emplace(header.sampleRate, setup.rate, channels);
        if (!resampler->ok()) return run.Fail("the resampler cannot start");
    }
    std::vector<uint8_t> block(static_cast<std::size_t>(writer.frameSize()) * header.blockAlign);
    std::vector<float> read, pending;
    // The floats read go on to `pending`, through the resampler where there is one.
    const auto take = [&](bool last) {
        bool taken = true;
        if (!resampler) pending.insert(pending.end(), read.begin(), read.end());
        else taken = last ? resampler->Flush(pending) : resampler->Process(read.data(), read.size() / channels, pending);
        read.clear();
        if (!taken) run.Fail("the resampler failed");
        return taken;
    };
    while (!source.atEnd()) {
        std::size_t count = 0;
        if (!source.Read(block.data(), block.size(), count) || count == 0) return run.Fail(source.problem());
        const int frames = static_cast<int>(count / header.blockAlign);
        if (floats) AppendFloats(block.data(), count / (header.bitsPerSample / 8), header, read);
        const bool encoded = floats ? take(false) && writer.EncodeFloats(pending, channels, false)
                                    : writer.EncodeIntegers(block.data(), frames, header);
        if (!encoded) return;
        // A stop leaves the target unfinished; the runner removes it.
        if (run.StopRequested()) return;
        run.Progress(source.bytesRead(), source.audioBytes());
    }
    if (floats && !(take(true) && writer.EncodeFloats(pending, channels, true))) return;
    if (!writer.Finish(job.targetPath)) return;
    if (!target.Close()) return run.Fail(WriteProblem(target.error()));
    // TagLib does not say when a write of its falls short; the boxes do.
    if (!M4aAudioExtent(ReadOnlyFile(job.targetPath))) return run.Fail("cannot write: the M4A file was cut short");
    run.Succeed();
}

bool IntegerPcm(const WaveHeader& header) { return header.formatTag == kWaveFormatPcm && IsPcmFormat(header); }

}  // namespace

void EncodeAac(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const auto* settings = RequiredSettings<AacSettings>(run);
    if (!settings) return;
    const bool valid = settings->mode == AacMode::kVbr   ? settings->quality >= 1 && settings->quality <= 20
                       : settings->mode == AacMode::kCbr ? settings->bitrate >= 32 && settings->bitrate <= 512
                                                         : false;
    if (!valid) return run.Fail("the AAC settings are out of range");
    EncodeM4a(run, job, [&](const WaveHeader& header, CodecSetup& setup) -> std::string {
        const bool floating = header.formatTag == kWaveFormatFloat && header.bitsPerSample == 32 &&
                              IsPcmFormat(header);
        if (!IntegerPcm(header) && !floating) return "AAC takes 8- to 32-bit integer or 32-bit float PCM";
        setup = {"aac", AV_SAMPLE_FMT_FLTP, AacRate(header.sampleRate), true, [&](AVCodecContext& context) {
                     if (settings->mode == AacMode::kVbr) {
                         context.flags |= AV_CODEC_FLAG_QSCALE;
                         context.global_quality = settings->quality * FF_QP2LAMBDA / 10;
                     } else {
                         context.bit_rate = int64_t{settings->bitrate} * 1000;
                     }
                 }};
        return "";
    });
}

const EngineDescriptor kEncAac{"ENCAAC", EncodeAac};

void EncodeAlac(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const auto* settings = RequiredSettings<AlacSettings>(run);
    if (!settings) return;
    EncodeM4a(run, job, [&](const WaveHeader& header, CodecSetup& setup) -> std::string {
        if (!IntegerPcm(header)) return "ALAC takes 8- to 32-bit integer PCM";
        const bool wide = ChosenBits(settings->sampleSize, header.bitsPerSample) == 24;
        setup = {"alac", wide ? AV_SAMPLE_FMT_S32P : AV_SAMPLE_FMT_S16P, static_cast<int>(header.sampleRate)};
        return "";
    });
}

const EngineDescriptor kEncAlac{"ENCALAC", EncodeAlac};

}  // namespace zelph
