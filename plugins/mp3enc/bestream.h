#pragma once
// The stream calls that Lame_Enc.so and BladeEnc.so share once each has
// turned its configuration record into EncoderOptions.

#include "plugins/mp3enc/bladeinterface.h"
#include "plugins/mp3enc/lamesetup.h"

namespace zelph::mp3enc {

BE_ERR OpenBeStream(const EncoderOptions& options, uint32_t* chunkSamples, uint32_t* mp3BufferSize,
                    HBE_STREAM* stream);
BE_ERR EncodeBeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* pcm, uint8_t* mp3, uint32_t* mp3Bytes);
BE_ERR FlushBeStream(HBE_STREAM stream, uint8_t* mp3, uint32_t* mp3Bytes);
// Releases the stream; the tag frame of a stream that asked for one is kept
// for WriteClosedStreamTag, the interface giving that call a path only.
BE_ERR CloseBeStream(HBE_STREAM stream);
// Writes the kept tag frame into the placeholder of `mp3Path`; succeeds
// without writing when the last closed stream asked for no tag.
BE_ERR WriteClosedStreamTag(const char* mp3Path);

}  // namespace zelph::mp3enc
