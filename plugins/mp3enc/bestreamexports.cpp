// The stream entry points that Lame_Enc.so and BladeEnc.so offer alike;
// each library adds its own beInitStream for the record forms it takes.

#include "plugins/mp3enc/bestream.h"
#include "plugins/mp3enc/exports.h"

using namespace zelph;

ZELPH_EXPORT BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, int16_t* pcm, uint8_t* mp3,
                                  uint32_t* mp3Bytes) {
    return mp3enc::EncodeBeChunk(stream, samples, pcm, mp3, mp3Bytes);
}

ZELPH_EXPORT BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* mp3, uint32_t* mp3Bytes) {
    return mp3enc::FlushBeStream(stream, mp3, mp3Bytes);
}

ZELPH_EXPORT BE_ERR beCloseStream(HBE_STREAM stream) { return mp3enc::CloseBeStream(stream); }
