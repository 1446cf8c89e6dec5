#include "core/verify.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "codecs/ffmpegcalls.h"
#include "core/readback.h"
#include "formats/exclusivefile.h"
#include "formats/waveheader.h"

namespace zelph {

namespace {

std::string Seconds(uint64_t frames, uint32_t rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", rate ? static_cast<double>(frames) / rate : 0.0);
    return text;
}

// The encoder's input, read along with the decode and set against it.
class Reference {
public:
    explicit Reference(const std::string& path) : file_(path, ExclusiveFile::kRead) {
        ok_ = file_.is_open() && ReadWaveFormat(file_.fd(), format_) != 0;
    }
    bool ok() const { return ok_; }
    bool integer() const { return format_.header.formatTag == kWaveFormatPcm; }
    int channels() const { return format_.header.channels; }
    int bits() const { return format_.header.bitsPerSample; }
    uint32_t rate() const { return format_.header.sampleRate; }
    uint64_t frames() const { return format_.audioBytes / format_.header.blockAlign; }

    // Compares the next decoded frames, written as the WAV holds them, with
    // the input's; false at the first difference.
    bool Matches(const std::vector<uint8_t>& decoded) {
        expected_.resize(decoded.size());
        const bool within = read_ + decoded.size() <= format_.audioBytes;
        const std::size_t got = within ? file_.Read(expected_.data(), expected_.size()) : 0;
        read_ += got;
        return within && got == decoded.size() && std::memcmp(expected_.data(), decoded.data(), got) == 0;
    }

private:
    ExclusiveFile file_;
    WaveFormat format_;
    bool ok_ = false;
    uint64_t read_ = 0;
    std::vector<uint8_t> expected_;
};

// A decoded sample, left-justified in 32 bits; nothing for float samples,
// which no lossless decoder gives.
std::optional<int32_t> Justified(const FfmpegCalls& av, const AVFrame& frame, int channel, int index, int channels) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av.av_sample_fmt_is_planar(format);
    const uint8_t* plane = frame.extended_data[planar ? channel : 0];
    const int at = planar ? index : index * channels + channel;
    switch (av.av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8: return static_cast<int32_t>((plane[at] - 128) * (1 << 24));
        case AV_SAMPLE_FMT_S16: return static_cast<int32_t>(reinterpret_cast<const int16_t*>(plane)[at] * (1 << 16));
        case AV_SAMPLE_FMT_S32: return reinterpret_cast<const int32_t*>(plane)[at];
        default: return std::nullopt;
    }
}

// One decoded frame in the byte form of a WAV of `bits`-bit samples.
bool AsWavBytes(const FfmpegCalls& av, const AVFrame& frame, int channels, int bits, std::vector<uint8_t>& out) {
    const int bytes = bits / 8;
    out.resize(static_cast<std::size_t>(frame.nb_samples) * channels * bytes);
    uint8_t* at = out.data();
    for (int i = 0; i < frame.nb_samples; ++i)
        for (int c = 0; c < channels; ++c) {
            const std::optional<int32_t> sample = Justified(av, frame, c, i, channels);
            if (!sample) return false;
            const uint32_t value = static_cast<uint32_t>(*sample >> (32 - bits)) + (bits == 8 ? 0x80u : 0u);
            for (int b = 0; b < bytes; ++b) *at++ = static_cast<uint8_t>(value >> (8 * b));
        }
    return true;
}

// One decoded frame as interleaved floats at 1.0 for full scale, the form
// the loudness meter takes. A lossy decoder's samples may overshoot full
// scale; they are cut there, as a player's fixed-point output cuts them.
bool AsFloats(const FfmpegCalls& av, const AVFrame& frame, int channels, std::vector<float>& out) {
    constexpr float kTop = 32767.0f / 32768;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av.av_sample_fmt_is_planar(format);
    out.resize(static_cast<std::size_t>(frame.nb_samples) * channels);
    auto fill = [&]<typename Sample>(float scale, float offset) {
        for (int c = 0; c < channels; ++c) {
            const auto* plane = reinterpret_cast<const Sample*>(frame.extended_data[planar ? c : 0]) + (planar ? 0 : c);
            const int step = planar ? 1 : channels;
            float* to = out.data() + c;
            for (int i = 0; i < frame.nb_samples; ++i, to += channels, plane += step)
                *to = std::clamp((static_cast<float>(*plane) - offset) * scale, -1.0f, kTop);
        }
    };
    switch (av.av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_FLT: fill.operator()<float>(1.0f, 0.0f); return true;
        case AV_SAMPLE_FMT_DBL: fill.operator()<double>(1.0f, 0.0f); return true;
        case AV_SAMPLE_FMT_S16: fill.operator()<int16_t>(1.0f / 32768, 0.0f); return true;
        case AV_SAMPLE_FMT_S32: fill.operator()<int32_t>(1.0f / 2147483648.0f, 0.0f); return true;
        case AV_SAMPLE_FMT_U8: fill.operator()<uint8_t>(1.0f / 128, 128.0f); return true;
        default: return false;
    }
}

class Verification {
public:
    Verification(const FfmpegCalls& av, const std::string& output, const std::string& input, const OutputCheck& check)
        : av_(av), output_(output), check_(check) {
        if (check.verify) reference_.emplace(input);
    }

    CheckedOutput Run() {
        CheckedOutput result;
        result.problem = Decode();
        if (result.problem.empty() && reference_) result.problem = LengthProblem();
        if (result.problem.empty() && meter_) result.meter = std::move(meter_);
        return result;
    }

private:
    std::string Decode() {
        if (reference_ && !reference_->ok()) return "the encoder's input cannot be read again";
        AvInput file{av_};
        if (av_.avformat_open_input(&file.context, output_.c_str(), nullptr, nullptr) < 0 ||
            av_.avformat_find_stream_info(file.context, nullptr) < 0)
            return "the output does not open for decoding";
        const AVCodec* codec = nullptr;
        const int stream = av_.av_find_best_stream(file.context, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream < 0 || !codec) return "the output holds no audio stream that decodes";
        AvDecoder decoder{av_};
        decoder.context = av_.avcodec_alloc_context3(codec);
        if (!decoder.context ||
            av_.avcodec_parameters_to_context(decoder.context, file.context->streams[stream]->codecpar) < 0)
            return "the output's decoder cannot start";
        decoder.context->err_recognition |= AV_EF_CRCCHECK;
        if (av_.avcodec_open2(decoder.context, codec, nullptr) < 0) return "the output's decoder cannot start";
        channels_ = decoder.context->ch_layout.nb_channels;
        if (check_.measure) {
            meter_ = std::make_unique<LoudnessMeter>(channels_, decoder.context->sample_rate, check_.truePeak);
            if (!meter_->ok()) return "the output's loudness cannot be measured";
        }
        // Bit for bit only where the form is the input's own.
        const AVCodecParameters& form = *file.context->streams[stream]->codecpar;
        const int bits = form.bits_per_raw_sample ? form.bits_per_raw_sample : form.bits_per_coded_sample;
        bitExact_ = reference_ && check_.fidelity.bitExact && reference_->integer() &&
                    channels_ == reference_->channels() && (bits == 0 || bits == reference_->bits()) &&
                    decoder.context->sample_rate == static_cast<int>(reference_->rate());

        AvPacket packet{av_};
        AvFrame frame{av_};
        for (;;) {
            const int read = av_.av_read_frame(file.context, packet.packet);
            if (read == AVERROR_EOF) break;
            if (read < 0) return "the output cannot be read to its end";
            const bool ours = packet.packet->stream_index == stream;
            const int sent = ours ? av_.avcodec_send_packet(decoder.context, packet.packet) : 0;
            av_.av_packet_unref(packet.packet);
            if (sent < 0) return DecodeFailure();
            if (std::string problem = Drain(decoder.context, frame.frame); !problem.empty()) return problem;
        }
        if (av_.avcodec_send_packet(decoder.context, nullptr) < 0) return DecodeFailure();
        if (std::string problem = Drain(decoder.context, frame.frame); !problem.empty()) return problem;
        rate_ = static_cast<uint32_t>(decoder.context->sample_rate);
        return "";
    }

    std::string DecodeFailure() const { return "the output does not decode after " + Seconds(frames_, rate_); }

    // Takes every frame the decoder has ready.
    std::string Drain(AVCodecContext* decoder, AVFrame* frame) {
        rate_ = static_cast<uint32_t>(decoder->sample_rate);
        for (;;) {
            const int got = av_.avcodec_receive_frame(decoder, frame);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return "";
            if (got < 0) return DecodeFailure();
            const bool compared = !bitExact_ || (AsWavBytes(av_, *frame, channels_, reference_->bits(), bytes_) &&
                                                 reference_->Matches(bytes_));
            if (!compared) return "the output's audio differs from its input after " + Seconds(frames_, rate_);
            // A frame whose layout changed mid-stream cannot be metered as the stream's.
            if (meter_ && (frame->ch_layout.nb_channels != channels_ || !AsFloats(av_, *frame, channels_, floats_) ||
                           !meter_->Add(floats_)))
                return "the output's loudness cannot be measured after " + Seconds(frames_, rate_);
            frames_ += static_cast<uint64_t>(frame->nb_samples);
            av_.av_frame_unref(frame);
        }
    }

    std::string LengthProblem() const {
        const uint32_t inRate = reference_->rate();
        // At another rate (a resampling encoder's) the input's
        // length is scaled, and the resampler may round it by a millisecond.
        const uint64_t expected = inRate == rate_ ? reference_->frames()
                                                  : (reference_->frames() * rate_ + inRate / 2) / inRate;
        const uint64_t rounding = inRate == rate_ ? 0 : rate_ / 1000;
        const Fidelity& fidelity = check_.fidelity;
        uint64_t length = expected;
        uint64_t below = rounding;
        uint64_t above = rounding;
        bool stated = true;
        if (fidelity.toStatedLength) {
            length = AudioExtentOf(output_).value_or(0);
            stated = length + rounding >= expected && length <= expected + rounding;
            below = above = 0;
        }
        if (!fidelity.statesPadding || !fidelity.statesPadding(output_)) above += fidelity.overrun;
        if (stated && frames_ + below >= length && frames_ <= length + above) return "";
        return "the output decodes to " + Seconds(frames_, rate_) + " of audio, its input held " +
               Seconds(reference_->frames(), inRate);
    }

    const FfmpegCalls& av_;
    const std::string& output_;
    const OutputCheck& check_;
    std::optional<Reference> reference_;
    std::unique_ptr<LoudnessMeter> meter_;
    bool bitExact_ = false;
    int channels_ = 0;
    uint32_t rate_ = 0;
    uint64_t frames_ = 0;
    std::vector<uint8_t> bytes_;
    std::vector<float> floats_;
};

}  // namespace

CheckedOutput CheckOutput(const std::string& output, const std::string& encoderInput, const OutputCheck& check) {
    // Named by what the user asked for, so a failure says which step met it.
    const std::string step = check.verify ? "verify: " : "loudness: ";
    std::string error;
    const FfmpegCalls* av = LoadFfmpeg(error);
    if (!av) return {step + error, nullptr};
    CheckedOutput checked = Verification(*av, output, encoderInput, check).Run();
    if (!checked.problem.empty()) checked.problem = step + checked.problem;
    return checked;
}

}  // namespace zelph
