// Lame_Enc.so without beWriteVBRHeader: the stream calls work as the real
// library's, so only the missing entry point can fail the LAME engine.

#include "plugins/lame/lameform.h"
#include "plugins/mp3enc/bestream.h"
#include "plugins/mp3enc/exports.h"

using namespace zelph;

ZELPH_EXPORT BE_ERR beInitStream(BE_CONFIG* config, uint32_t* chunkSamples, uint32_t* mp3BufferSize,
                                 HBE_STREAM* stream) {
    const auto options = config ? mp3enc::OptionsFromLameForm(*config) : std::nullopt;
    if (!options) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return mp3enc::OpenBeStream(*options, chunkSamples, mp3BufferSize, stream);
}
