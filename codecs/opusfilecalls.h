#pragma once
// libopusfile and libopus as the Opus engine holds them: every entry point
// resolved by name from Plugins/OpusFile.so and Plugins/Opus.so, never linked.

#include <opus.h>
#include <opusfile.h>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct OpusFileCalls {
    ZELPH_CALL(op_open_callbacks);
    ZELPH_CALL(op_free);
    ZELPH_CALL(op_channel_count);
    ZELPH_CALL(op_read);
    ZELPH_CALL(op_head);
    ZELPH_CALL(op_set_decode_callback);
};

struct OpusCalls {
    ZELPH_CALL(opus_decoder_create);
    ZELPH_CALL(opus_decoder_destroy);
    ZELPH_CALL(opus_decoder_ctl);
    ZELPH_CALL(opus_decode_float);
};

#undef ZELPH_CALL

inline bool LoadOpusFileCalls(CodecLibraries& libraries, OpusFileCalls& o) {
    return libraries.Load("OpusFile.so", {Bind("op_open_callbacks", o.op_open_callbacks),
                                          Bind("op_free", o.op_free),
                                          Bind("op_channel_count", o.op_channel_count),
                                          Bind("op_read", o.op_read),
                                          Bind("op_head", o.op_head),
                                          Bind("op_set_decode_callback", o.op_set_decode_callback)});
}

inline bool LoadOpusCalls(CodecLibraries& libraries, OpusCalls& o) {
    return libraries.Load("Opus.so", {Bind("opus_decoder_create", o.opus_decoder_create),
                                      Bind("opus_decoder_destroy", o.opus_decoder_destroy),
                                      Bind("opus_decoder_ctl", o.opus_decoder_ctl),
                                      Bind("opus_decode_float", o.opus_decode_float)});
}

}  // namespace zelph
