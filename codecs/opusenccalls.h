#pragma once
// libopusenc as the Opus encoder holds it: every entry point resolved by
// name from Plugins/OpusEnc.so, never linked.

#include <opusenc.h>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct OpusEncCalls {
    ZELPH_CALL(ope_comments_create);
    ZELPH_CALL(ope_comments_destroy);
    ZELPH_CALL(ope_encoder_create_callbacks);
    ZELPH_CALL(ope_encoder_ctl);
    ZELPH_CALL(ope_encoder_write);
    ZELPH_CALL(ope_encoder_drain);
    ZELPH_CALL(ope_encoder_destroy);
};

#undef ZELPH_CALL

inline bool LoadOpusEncCalls(CodecLibraries& libraries, OpusEncCalls& o) {
    return libraries.Load("OpusEnc.so", {Bind("ope_comments_create", o.ope_comments_create),
                                         Bind("ope_comments_destroy", o.ope_comments_destroy),
                                         Bind("ope_encoder_create_callbacks", o.ope_encoder_create_callbacks),
                                         Bind("ope_encoder_ctl", o.ope_encoder_ctl),
                                         Bind("ope_encoder_write", o.ope_encoder_write),
                                         Bind("ope_encoder_drain", o.ope_encoder_drain),
                                         Bind("ope_encoder_destroy", o.ope_encoder_destroy)});
}

}  // namespace zelph
