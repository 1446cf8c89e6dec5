// BladeEnc.so: MPEG-1 layer III CBR behind BladeEnc's interface, taking
// BE_CONFIG in its MP3 form only. LAME does the encoding.

#include "plugins/mp3enc/bestream.h"
#include "plugins/mp3enc/exports.h"
#include "plugins/mp3enc/mp3form.h"

using namespace zelph;

ZELPH_EXPORT BE_ERR beInitStream(BE_CONFIG* config, uint32_t* chunkSamples, uint32_t* mp3BufferSize,
                                 HBE_STREAM* stream) {
    if (!config) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_MP3) return BE_ERR_INVALID_FORMAT;
    const auto options = mp3enc::OptionsFromMp3Form(*config);
    if (!options) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return mp3enc::OpenBeStream(*options, chunkSamples, mp3BufferSize, stream);
}

