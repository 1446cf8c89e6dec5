#pragma once
// libFLAC's stream decoder as the FLAC engine holds it: every entry point
// resolved by name from Plugins/FLAC.so, never linked.

#include <FLAC/stream_decoder.h>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct FlacCalls {
    ZELPH_CALL(FLAC__stream_decoder_new);
    ZELPH_CALL(FLAC__stream_decoder_delete);
    ZELPH_CALL(FLAC__stream_decoder_set_md5_checking);
    ZELPH_CALL(FLAC__stream_decoder_init_stream);
    ZELPH_CALL(FLAC__stream_decoder_init_ogg_stream);
    ZELPH_CALL(FLAC__stream_decoder_process_single);
    ZELPH_CALL(FLAC__stream_decoder_get_state);
    ZELPH_CALL(FLAC__stream_decoder_finish);
};

#undef ZELPH_CALL

inline bool LoadFlacCalls(CodecLibraries& libraries, FlacCalls& f) {
    return libraries.Load("FLAC.so", {Bind("FLAC__stream_decoder_new", f.FLAC__stream_decoder_new),
                                      Bind("FLAC__stream_decoder_delete", f.FLAC__stream_decoder_delete),
                                      Bind("FLAC__stream_decoder_set_md5_checking", f.FLAC__stream_decoder_set_md5_checking),
                                      Bind("FLAC__stream_decoder_init_stream", f.FLAC__stream_decoder_init_stream),
                                      Bind("FLAC__stream_decoder_init_ogg_stream", f.FLAC__stream_decoder_init_ogg_stream),
                                      Bind("FLAC__stream_decoder_process_single", f.FLAC__stream_decoder_process_single),
                                      Bind("FLAC__stream_decoder_get_state", f.FLAC__stream_decoder_get_state),
                                      Bind("FLAC__stream_decoder_finish", f.FLAC__stream_decoder_finish)});
}

}  // namespace zelph
