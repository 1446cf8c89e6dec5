#include "plugins/lame/lameform.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/mp3rates.h"
#include "plugins/mp3enc/mp3form.h"

namespace zelph::mp3enc {
namespace {

using Lhv1 = decltype(BE_CONFIG::format.LHV1);

// What a preset lays over the record's own settings.
struct PresetEffect {
    int32_t code;
    bool mono;       // encode one channel (two input channels are mixed down)
    int lamePreset;  // lame_set_preset code, 0: none
    int quality;     // -1: unchanged
};

constexpr std::array<PresetEffect, 16> kPresets = {{
    {LQP_NOPRESET, false, 0, -1},
    {LQP_NORMAL_QUALITY, false, 0, -1},
    {LQP_LOW_QUALITY, false, 0, 9},
    {LQP_HIGH_QUALITY, false, 0, 2},
    {LQP_VOICE_QUALITY, true, 56, -1},
    {LQP_R3MIX, false, R3MIX, -1},
    {LQP_PHONE, true, 16, -1},
    {LQP_SW, true, 24, -1},
    {LQP_AM, true, 40, -1},
    {LQP_FM, false, 112, -1},
    {LQP_VOICE, true, 56, -1},
    {LQP_RADIO, false, 112, -1},
    {LQP_TAPE, false, 112, -1},
    {LQP_HIFI, false, 160, -1},
    {LQP_CD, false, 192, -1},
    {LQP_STUDIO, false, 256, -1},
}};

bool ApplyPreset(int32_t code, EncoderOptions& options) {
    const auto* preset = std::find_if(kPresets.begin(), kPresets.end(), [code](const auto& p) { return p.code == code; });
    if (preset == kPresets.end()) return false;
    if (preset->mono) options.mode = MONO;
    options.lamePreset = preset->lamePreset;
    if (preset->quality >= 0) options.quality = preset->quality;
    return true;
}

// ABR chosen as the VBR method aims at the middle of the VBR limits; a
// missing limit leaves the other, and with neither LAME's own ABR default.
int AbrMeanOf(int minKbps, int maxKbps) {
    constexpr int kLameDefaultAbr = 128;
    if (minKbps <= 0 && maxKbps <= 0) return kLameDefaultAbr;
    if (minKbps <= 0 || maxKbps <= 0) return std::clamp(std::max(minKbps, maxKbps), 8, 320);
    return std::clamp((minKbps + maxKbps) / 2, 8, 320);
}

bool ApplyRateControl(const Lhv1& lhv1, EncoderOptions& options) {
    options.bitrate = static_cast<int>(lhv1.dwBitrate);
    if (lhv1.dwVbrAbr_bps > 0) {
        options.rateControl = RateControl::Abr;
        options.abrBitrate = std::clamp(static_cast<int>((lhv1.dwVbrAbr_bps + 500) / 1000), 8, 320);
        return true;
    }
    if (!lhv1.bEnableVBR) {
        options.rateControl = RateControl::Cbr;
        return true;
    }
    if (lhv1.nVBRQuality < 0 || lhv1.nVBRQuality > 9) return false;
    options.rateControl = RateControl::Vbr;
    options.vbrQuality = lhv1.nVBRQuality;
    options.maxBitrate = static_cast<int>(lhv1.dwMaxBitrate);
    switch (lhv1.nVbrMethod) {
    case VBR_METHOD_NONE: options.rateControl = RateControl::Cbr; return true;
    case VBR_METHOD_DEFAULT: options.vbrMethod = vbr_default; return true;
    case VBR_METHOD_OLD: options.vbrMethod = vbr_rh; return true;
    case VBR_METHOD_NEW:
    case VBR_METHOD_MTRH: options.vbrMethod = vbr_mtrh; return true;
    case VBR_METHOD_ABR:
        options.rateControl = RateControl::Abr;
        options.abrBitrate = AbrMeanOf(options.bitrate, options.maxBitrate);
        return true;
    default: return false;
    }
}

// MPEG1 keeps the output on an MPEG-1 rate, where LAME would otherwise drop
// to a half rate for a low bitrate. MPEG2, the value of a zeroed record,
// leaves the rate to LAME, which picks MPEG-2 for sources of 24 kHz or less.
bool ApplyMpegVersion(uint32_t version, EncoderOptions& options) {
    if (version == MPEG2) return true;
    if (version != MPEG1) return false;
    if (options.outputRate > 0) return IsMpeg1Rate(static_cast<uint32_t>(options.outputRate));
    options.outputRate = options.inputRate <= 32000 ? 32000 : options.inputRate <= 44100 ? 44100 : 48000;
    return true;
}

// nQuality counts only when its high byte is the complement of its low byte.
void ApplyQualityWord(uint16_t word, EncoderOptions& options) {
    const int low = word & 0xFF;
    if (low == (~word >> 8 & 0xFF) && low <= 9) options.quality = low;
}

}  // namespace

std::optional<EncoderOptions> OptionsFromLameForm(const BE_CONFIG& given) {
    BE_CONFIG config{};
    std::memcpy(&config, &given, offsetof(BE_CONFIG, format.LHV1.dwStructSize) + sizeof(uint32_t));
    const std::size_t size = std::min<std::size_t>(config.format.LHV1.dwStructSize, sizeof config);
    if (size <= offsetof(BE_CONFIG, format.LHV1.dwSampleRate)) return std::nullopt;
    std::memcpy(&config, &given, size);
    const Lhv1& lhv1 = config.format.LHV1;

    EncoderOptions options;
    options.inputRate = static_cast<int>(lhv1.dwSampleRate);
    options.outputRate = static_cast<int>(lhv1.dwReSampleRate);
    const bool emphasisKnown = lhv1.dwEmphasis == 0 || lhv1.dwEmphasis == 1 || lhv1.dwEmphasis == 3;
    if (options.inputRate <= 0 || !emphasisKnown || !ApplyBeMode(lhv1.nMode, options) ||
        !ApplyRateControl(lhv1, options) || !ApplyPreset(lhv1.nPreset, options) ||
        !ApplyMpegVersion(lhv1.dwMpegVersion, options))
        return std::nullopt;
    ApplyQualityWord(lhv1.nQuality, options);
    options.emphasis = static_cast<int>(lhv1.dwEmphasis);
    options.privateBit = lhv1.bPrivate != 0;
    options.crc = lhv1.bCRC != 0;
    options.copyright = lhv1.bCopyright != 0;
    options.original = lhv1.bOriginal != 0;
    options.tagFrame = lhv1.bWriteVBRHeader != 0;
    options.bitReservoir = lhv1.bNoRes == 0;
    options.strictIso = lhv1.bStrictIso != 0;
    return options;
}

}  // namespace zelph::mp3enc
