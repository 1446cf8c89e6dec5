#include "plugins/mp3enc/lamesetup.h"

#include <algorithm>

#include "formats/pcmlimits.h"

namespace zelph::mp3enc {
namespace {

void SetRateControl(lame_global_flags* lame, const EncoderOptions& o) {
    switch (o.rateControl) {
    case RateControl::Cbr:
        lame_set_VBR(lame, vbr_off);
        if (o.bitrate > 0) lame_set_brate(lame, o.bitrate);
        break;
    case RateControl::Abr:
        lame_set_VBR(lame, vbr_abr);
        lame_set_VBR_mean_bitrate_kbps(lame, o.abrBitrate);
        break;
    case RateControl::Vbr:
        lame_set_VBR(lame, o.vbrMethod);
        lame_set_VBR_q(lame, o.vbrQuality);
        break;
    }
    if (o.lamePreset != 0) lame_set_preset(lame, o.lamePreset);
    // Limits apply to whatever variable method the preset left in place.
    if (o.rateControl != RateControl::Cbr && o.bitrate > 0) lame_set_VBR_min_bitrate_kbps(lame, o.bitrate);
    if (o.maxBitrate > 0) lame_set_VBR_max_bitrate_kbps(lame, o.maxBitrate);
}

void SetStream(lame_global_flags* lame, const EncoderOptions& o) {
    lame_set_in_samplerate(lame, o.inputRate);
    lame_set_num_channels(lame, o.inputChannels);
    if (o.outputRate > 0) lame_set_out_samplerate(lame, o.outputRate);
    if (o.mode != NOT_SET) lame_set_mode(lame, o.mode);
    if (o.forceMidSide) lame_set_force_ms(lame, 1);
    if (o.quality >= 0) lame_set_quality(lame, o.quality);
    if (o.lowpassHz > 0) lame_set_lowpassfreq(lame, o.lowpassHz);
    lame_set_emphasis(lame, o.emphasis);
    lame_set_error_protection(lame, o.crc);
    lame_set_copyright(lame, o.copyright);
    lame_set_original(lame, o.original);
    lame_set_extension(lame, o.privateBit);
    lame_set_disable_reservoir(lame, !o.bitReservoir);
    lame_set_strict_ISO(lame, o.strictIso);
    lame_set_bWriteVbrTag(lame, o.tagFrame);
}

}  // namespace

LamePtr OpenLame(const EncoderOptions& options) {
    if (options.inputChannels != 1 && options.inputChannels != 2) return nullptr;
    // LAME takes any input rate and any mean; a nonsense one would quietly
    // become an endless or 8 kHz stream rather than an error.
    if (!IsPcmRate(static_cast<uint64_t>(std::max(options.inputRate, 0)))) return nullptr;
    if (options.rateControl == RateControl::Abr && (options.abrBitrate < 8 || options.abrBitrate > 320))
        return nullptr;
    LamePtr lame(lame_init());
    if (!lame) return nullptr;
    lame_set_errorf(lame.get(), nullptr);
    lame_set_msgf(lame.get(), nullptr);
    SetStream(lame.get(), options);
    SetRateControl(lame.get(), options);
    if (lame_init_params(lame.get()) < 0) return nullptr;

    const bool plainCbr = options.rateControl == RateControl::Cbr && options.lamePreset == 0;
    if (plainCbr && options.bitrate > 0 && lame_get_brate(lame.get()) != options.bitrate) return nullptr;
    if (options.outputRate > 0 && lame_get_out_samplerate(lame.get()) != options.outputRate) return nullptr;
    return lame;
}

}  // namespace zelph::mp3enc
