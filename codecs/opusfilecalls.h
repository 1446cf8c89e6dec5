#pragma once
// libopusfile as the Opus engine holds it: every entry point resolved by
// name from Plugins/OpusFile.so, never linked.

#include <opusfile.h>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct OpusFileCalls {
    ZELPH_CALL(op_open_callbacks);
    ZELPH_CALL(op_free);
    ZELPH_CALL(op_channel_count);
    ZELPH_CALL(op_read);
};

#undef ZELPH_CALL

inline bool LoadOpusFileCalls(CodecLibraries& libraries, OpusFileCalls& o) {
    return libraries.Load("OpusFile.so", {Bind("op_open_callbacks", o.op_open_callbacks),
                                          Bind("op_free", o.op_free),
                                          Bind("op_channel_count", o.op_channel_count),
                                          Bind("op_read", o.op_read)});
}

}  // namespace zelph
