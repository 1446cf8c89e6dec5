#include "plugins/mp3enc/mp3form.h"

#include "formats/mp3rates.h"

namespace zelph::mp3enc {

bool ApplyBeMode(int32_t beMode, EncoderOptions& options) {
    options.inputChannels = 2;
    switch (beMode) {
    case BE_MP3_MODE_STEREO: options.mode = STEREO; return true;
    case BE_MP3_MODE_JSTEREO: options.mode = JOINT_STEREO; return true;
    case BE_MP3_MODE_DUALCHANNEL: options.mode = DUAL_CHANNEL; return true;
    case BE_MP3_MODE_MONO:
        options.mode = MONO;
        options.inputChannels = 1;
        return true;
    default: return false;
    }
}

std::optional<EncoderOptions> OptionsFromMp3Form(const BE_CONFIG& config) {
    const auto& mp3 = config.format.mp3;
    const uint32_t rate = mp3.dwSampleRate;
    const int bitrate = mp3.wBitrate;
    if (!IsMpeg1Rate(rate) || !CarriesBitrate(rate, bitrate)) return std::nullopt;
    // BladeEnc offers stereo, dual channel and mono only.
    if (mp3.byMode == BE_MP3_MODE_JSTEREO) return std::nullopt;

    EncoderOptions options;
    if (!ApplyBeMode(mp3.byMode, options)) return std::nullopt;
    options.inputRate = static_cast<int>(rate);
    options.outputRate = static_cast<int>(rate);
    options.rateControl = RateControl::Cbr;
    options.bitrate = bitrate;
    options.privateBit = mp3.bPrivate != 0;
    options.crc = mp3.bCRC != 0;
    options.copyright = mp3.bCopyright != 0;
    options.original = mp3.bOriginal != 0;
    return options;
}

}  // namespace zelph::mp3enc
