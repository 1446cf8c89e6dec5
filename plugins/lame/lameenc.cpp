// Lame_Enc.so: LAME behind the BladeEnc-style interface, taking BE_CONFIG in
// its LAME form (and BladeEnc's MP3 form), with the tag-frame call.

#include "plugins/lame/lameform.h"
#include "plugins/mp3enc/bestream.h"
#include "plugins/mp3enc/exports.h"
#include "plugins/mp3enc/mp3form.h"

using namespace zelph;

ZELPH_EXPORT BE_ERR beInitStream(BE_CONFIG* config, uint32_t* chunkSamples, uint32_t* mp3BufferSize,
                                 HBE_STREAM* stream) {
    if (!config) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    std::optional<mp3enc::EncoderOptions> options;
    if (config->dwConfig == BE_CONFIG_LAME)
        options = mp3enc::OptionsFromLameForm(*config);
    else if (config->dwConfig == BE_CONFIG_MP3)
        options = mp3enc::OptionsFromMp3Form(*config);
    else
        return BE_ERR_INVALID_FORMAT;
    if (!options) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return mp3enc::OpenBeStream(*options, chunkSamples, mp3BufferSize, stream);
}

ZELPH_EXPORT BE_ERR beWriteVBRHeader(const char* mp3Path) { return mp3enc::WriteClosedStreamTag(mp3Path); }
