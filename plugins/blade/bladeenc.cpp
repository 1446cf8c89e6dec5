// BladeEnc.so: MPEG-1 layer III CBR behind BladeEnc's interface, taking
// BE_CONFIG in its MP3 form only. LAME does the encoding. The MP3 form has no
// tag field, yet every stream starts with the frame that beWriteVBRHeader
// fills with LAME's Info tag: without its encoder delay and padding,
// decoders would add some 1,300 samples of silence.

#include "plugins/mp3enc/bestream.h"
#include "plugins/mp3enc/exports.h"
#include "plugins/mp3enc/mp3form.h"

using namespace zelph;

ZELPH_EXPORT BE_ERR beInitStream(BE_CONFIG* config, uint32_t* chunkSamples, uint32_t* mp3BufferSize,
                                 HBE_STREAM* stream) {
    if (!config) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_MP3) return BE_ERR_INVALID_FORMAT;
    auto options = mp3enc::OptionsFromMp3Form(*config);
    if (!options) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    options->tagFrame = true;
    return mp3enc::OpenBeStream(*options, chunkSamples, mp3BufferSize, stream);
}

ZELPH_EXPORT BE_ERR beWriteVBRHeader(const char* mp3Path) { return mp3enc::WriteClosedStreamTag(mp3Path); }
