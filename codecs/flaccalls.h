#pragma once
// libFLAC's stream decoder and encoder as the FLAC engines hold them: every
// entry point resolved by name from Plugins/FLAC.so, never linked.

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

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
    ZELPH_CALL(FLAC__stream_encoder_new);
    ZELPH_CALL(FLAC__stream_encoder_delete);
    ZELPH_CALL(FLAC__stream_encoder_set_verify);
    ZELPH_CALL(FLAC__stream_encoder_set_compression_level);
    ZELPH_CALL(FLAC__stream_encoder_set_channels);
    ZELPH_CALL(FLAC__stream_encoder_set_bits_per_sample);
    ZELPH_CALL(FLAC__stream_encoder_set_sample_rate);
    ZELPH_CALL(FLAC__stream_encoder_set_total_samples_estimate);
    ZELPH_CALL(FLAC__stream_encoder_set_metadata);
    ZELPH_CALL(FLAC__stream_encoder_init_stream);
    ZELPH_CALL(FLAC__stream_encoder_process_interleaved);
    ZELPH_CALL(FLAC__stream_encoder_finish);
    ZELPH_CALL(FLAC__stream_encoder_get_state);
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
                                      Bind("FLAC__stream_decoder_finish", f.FLAC__stream_decoder_finish),
                                      Bind("FLAC__stream_encoder_new", f.FLAC__stream_encoder_new),
                                      Bind("FLAC__stream_encoder_delete", f.FLAC__stream_encoder_delete),
                                      Bind("FLAC__stream_encoder_set_verify", f.FLAC__stream_encoder_set_verify),
                                      Bind("FLAC__stream_encoder_set_compression_level", f.FLAC__stream_encoder_set_compression_level),
                                      Bind("FLAC__stream_encoder_set_channels", f.FLAC__stream_encoder_set_channels),
                                      Bind("FLAC__stream_encoder_set_bits_per_sample", f.FLAC__stream_encoder_set_bits_per_sample),
                                      Bind("FLAC__stream_encoder_set_sample_rate", f.FLAC__stream_encoder_set_sample_rate),
                                      Bind("FLAC__stream_encoder_set_total_samples_estimate", f.FLAC__stream_encoder_set_total_samples_estimate),
                                      Bind("FLAC__stream_encoder_set_metadata", f.FLAC__stream_encoder_set_metadata),
                                      Bind("FLAC__stream_encoder_init_stream", f.FLAC__stream_encoder_init_stream),
                                      Bind("FLAC__stream_encoder_process_interleaved", f.FLAC__stream_encoder_process_interleaved),
                                      Bind("FLAC__stream_encoder_finish", f.FLAC__stream_encoder_finish),
                                      Bind("FLAC__stream_encoder_get_state", f.FLAC__stream_encoder_get_state)});
}

}  // namespace zelph
