#include "plugins/gogo/gogoencoder.h"

#include <algorithm>

#include "formats/mp3rates.h"
#include "formats/pcmlimits.h"
#include "plugins/mp3enc/tagframe.h"

namespace zelph::mp3enc {
namespace {

bool ApplyMode(UPARAM mode, EncoderOptions& options) {
    switch (mode) {
    case MC_MODE_MONO: options.mode = MONO; return true;
    case MC_MODE_STEREO: options.mode = STEREO; return true;
    case MC_MODE_JOINT: options.mode = JOINT_STEREO; return true;
    case MC_MODE_MSSTEREO:
        options.mode = JOINT_STEREO;
        options.forceMidSide = true;
        return true;
    case MC_MODE_DUALCHANNEL: options.mode = DUAL_CHANNEL; return true;
    default: return false;
    }
}

MERET CheckBitrates(const GoGoConfig& c) {
    if (c.vbrLevel) {
        const bool minOk = c.vbrMinBitrate == 0 || IsMp3Bitrate(c.vbrMinBitrate);
        const bool maxOk = c.vbrMaxBitrate == 0 || IsMp3Bitrate(c.vbrMaxBitrate);
        const bool ordered = c.vbrMinBitrate == 0 || c.vbrMaxBitrate == 0 || c.vbrMinBitrate <= c.vbrMaxBitrate;
        return minOk && maxOk && ordered ? ME_NOERR : ME_BITRATEERROR;
    }
    return c.bitrate == 0 || IsMp3Bitrate(c.bitrate) ? ME_NOERR : ME_BITRATEERROR;
}

MERET CheckConfig(const GoGoConfig& c) {
    if (c.quality < -1 || c.quality > 9 || (c.vbrLevel && (*c.vbrLevel < 0 || *c.vbrLevel > 9))) return ME_PARAMERROR;
    if (c.emphasis != 0 && c.emphasis != 1 && c.emphasis != 3) return ME_PARAMERROR;
    if (c.inputRate < 0 || (c.inputRate != 0 && !IsPcmRate(static_cast<uint64_t>(c.inputRate))) ||
        (c.outputRate != 0 && !IsMp3Rate(static_cast<uint32_t>(c.outputRate))))
        return ME_FREQERROR;
    return CheckBitrates(c);
}

MERET CheckWav(const GoGoConfig& c, const std::optional<WavLayout>& layout) {
    if (!layout || (layout->bitsPerSample != 8 && layout->bitsPerSample != 16)) return ME_WAVETYPE_ERR;
    if (layout->channels > 2) return ME_WAVETYPE_ERR;
    if ((c.require8Bit && layout->bitsPerSample != 8) || (c.requireMono && layout->channels != 1))
        return ME_WAVETYPE_ERR;
    return ME_NOERR;
}

EncoderOptions OptionsFor(const GoGoConfig& c, const WavLayout& layout) {
    EncoderOptions o;
    o.inputRate = c.inputRate > 0 ? c.inputRate : static_cast<int>(layout.sampleRate);
    o.inputChannels = layout.channels;
    o.outputRate = c.outputRate;
    if (c.mode) ApplyMode(*c.mode, o);
    if (c.vbrLevel) {
        o.rateControl = RateControl::Vbr;
        o.vbrQuality = *c.vbrLevel;
        o.bitrate = c.vbrMinBitrate;
        o.maxBitrate = c.vbrMaxBitrate;
    } else if (c.abr) {
        o.rateControl = RateControl::Abr;
        o.abrBitrate = c.bitrate;
    } else {
        o.rateControl = RateControl::Cbr;
        o.bitrate = c.bitrate;
    }
    // LAME's quality 9 is the one that runs no psycho-acoustic model.
    o.quality = c.psychoAcoustics ? c.quality : 9;
    if (c.lowPass16) o.lowpassHz = 16000;
    o.emphasis = c.emphasis;
    // Every stream carries the Xing/Info tag with LAME's extension: its
    // encoder delay and padding let decoders give the source's exact length.
    o.tagFrame = true;
    return o;
}

}  // namespace

MERET GoGoConfig::Set(UPARAM code, UPARAM first, UPARAM second) {
    const auto path = [second](std::string& into) {
        if (!second) return ME_PARAMERROR;
        into = reinterpret_cast<const char*>(second);
        return ME_NOERR;
    };
    const int value = static_cast<int>(first);
    switch (code) {
    case MC_INPUTFILE: return first == MC_INPDEV_FILE ? path(inputPath) : ME_PARAMERROR;
    case MC_OUTPUTFILE: return first == MC_OUTDEV_FILE ? path(outputPath) : ME_PARAMERROR;
    case MC_ENCODEMODE:
        if (first > MC_MODE_DUALCHANNEL) return ME_PARAMERROR;
        mode = first;
        return ME_NOERR;
    case MC_BITRATE: bitrate = value; return ME_NOERR;
    case MC_INPFREQ: inputRate = value; return ME_NOERR;
    case MC_OUTFREQ: outputRate = value; return ME_NOERR;
    case MC_USEPSY: psychoAcoustics = first != 0; return ME_NOERR;
    case MC_USELPF16: lowPass16 = first != 0; return ME_NOERR;
    case MC_8BIT_PCM: require8Bit = first != 0; return ME_NOERR;
    case MC_MONO_PCM: requireMono = first != 0; return ME_NOERR;
    case MC_EMPHASIS: emphasis = value; return ME_NOERR;
    case MC_ENCODE_QUALITY: quality = value; return ME_NOERR;
    case MC_ABR: abr = first != 0; return ME_NOERR;
    case MC_VBR: vbrLevel = value; return ME_NOERR;
    case MC_VBRBITRATE:
        vbrMinBitrate = value;
        vbrMaxBitrate = static_cast<int>(second);
        return ME_NOERR;
    // The tag is always written whole (see OptionsFor); either code asks for it.
    case MC_WRITELAMETAG:
    case MC_WRITEVBRTAG: return ME_NOERR;
    // LAME picks its own instruction sets; the unit switches change nothing.
    case MC_USEMMX:
    case MC_USE3DNOW:
    case MC_USEKNI:
    case MC_USEE3DNOW:
    case MC_USECMOV:
    case MC_USEEMMX:
    case MC_USESSE2:
    case MC_USEALTIVEC: return ME_NOERR;
    default: return ME_PARAMERROR;
    }
}

GoGoEncoder::Opened GoGoEncoder::Open(const GoGoConfig& config) {
    if (const MERET refused = CheckConfig(config); refused != ME_NOERR) return {refused, nullptr};
    std::unique_ptr<GoGoEncoder> encoder(new GoGoEncoder);
    encoder->wav_ = OpenFile(config.inputPath.c_str(), "rb");
    if (config.inputPath.empty() || !encoder->wav_) return {ME_INFILE_NOFOUND, nullptr};
    const auto layout = ReadWavLayout(encoder->wav_.get());
    if (const MERET refused = CheckWav(config, layout); refused != ME_NOERR) return {refused, nullptr};
    encoder->layout_ = *layout;

    const EncoderOptions options = OptionsFor(config, *layout);
    encoder->lame_ = OpenLame(options);
    if (!encoder->lame_) return {ME_PARAMERROR, nullptr};

    // One call takes the input of one MP3 frame, resampling included.
    const int64_t frameSamples = lame_get_framesize(encoder->lame_.get());
    const int64_t outRate = lame_get_out_samplerate(encoder->lame_.get());
    if (frameSamples <= 0 || outRate <= 0) return {ME_FREQERROR, nullptr};
    const int64_t samplesPerCall = (frameSamples * options.inputRate + outRate - 1) / outRate;
    encoder->bytesPerCall_ = static_cast<std::size_t>(samplesPerCall) * layout->blockAlign;
    encoder->remaining_ = layout->dataSize - layout->dataSize % layout->blockAlign;
    encoder->frameCount_ =
        static_cast<uint32_t>((encoder->remaining_ + encoder->bytesPerCall_ - 1) / encoder->bytesPerCall_);
    encoder->raw_.resize(encoder->bytesPerCall_);
    encoder->pcm_.resize(static_cast<std::size_t>(samplesPerCall) * layout->channels);
    encoder->mp3Buffer_.resize(static_cast<std::size_t>(Mp3BufferBound(static_cast<int>(samplesPerCall))));
    if (std::fseek(encoder->wav_.get(), static_cast<long>(layout->dataOffset), SEEK_SET) != 0)
        return {ME_WAVETYPE_ERR, nullptr};

    encoder->mp3_ = OpenFile(config.outputPath.c_str(), "w+b");
    if (config.outputPath.empty() || !encoder->mp3_) return {ME_OUTFILE_NOFOUND, nullptr};
    return {ME_NOERR, std::move(encoder)};
}

MERET GoGoEncoder::ProcessFrame() {
    if (end_) return *end_;
    if (remaining_ == 0) return *(end_ = Finish());

    const std::size_t bytes = static_cast<std::size_t>(std::min<uint64_t>(bytesPerCall_, remaining_));
    if (std::fread(raw_.data(), 1, bytes, wav_.get()) != bytes) return *(end_ = ME_INTERNALERROR);
    remaining_ -= bytes;
    const std::size_t samples = bytes / (layout_.bitsPerSample / 8);
    for (std::size_t i = 0; i < samples; ++i) {
        pcm_[i] = layout_.bitsPerSample == 8
                      ? static_cast<int16_t>((raw_[i] - 128) * 256)
                      : static_cast<int16_t>(raw_[2 * i] | (raw_[2 * i + 1] << 8));
    }
    const int frames = static_cast<int>(samples / layout_.channels);
    const int room = static_cast<int>(mp3Buffer_.size());
    const int produced = layout_.channels == 2
                             ? lame_encode_buffer_interleaved(lame_.get(), pcm_.data(), frames, mp3Buffer_.data(), room)
                             : lame_encode_buffer(lame_.get(), pcm_.data(), pcm_.data(), frames, mp3Buffer_.data(), room);
    if (produced < 0) return *(end_ = ME_INTERNALERROR);
    if (std::fwrite(mp3Buffer_.data(), 1, produced, mp3_.get()) != static_cast<std::size_t>(produced))
        return *(end_ = ME_WRITEERROR);
    return ME_NOERR;
}

MERET GoGoEncoder::Finish() {
    const int produced = lame_encode_flush(lame_.get(), mp3Buffer_.data(), static_cast<int>(mp3Buffer_.size()));
    if (produced < 0) return ME_INTERNALERROR;
    if (std::fwrite(mp3Buffer_.data(), 1, produced, mp3_.get()) != static_cast<std::size_t>(produced))
        return ME_WRITEERROR;
    const std::vector<uint8_t> tag = FinishedTagFrame(lame_.get());
    if (!tag.empty() && !WriteTagFrame(mp3_.get(), tag)) return ME_WRITEERROR;
    wav_.reset();
    return CloseChecked(mp3_) ? ME_EMPTYSTREAM : ME_WRITEERROR;
}

}  // namespace zelph::mp3enc
