#include "codecs/vorbiscalls.h"

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_BIND(name) Bind(#name, calls.name)

bool LoadOggCalls(CodecLibraries& libraries, OggCalls& calls) {
    return libraries.Load("Ogg.so", {ZELPH_BIND(ogg_sync_init), ZELPH_BIND(ogg_sync_buffer),
                                     ZELPH_BIND(ogg_sync_wrote), ZELPH_BIND(ogg_sync_pageout),
                                     ZELPH_BIND(ogg_sync_clear), ZELPH_BIND(ogg_page_serialno),
                                     ZELPH_BIND(ogg_page_eos), ZELPH_BIND(ogg_stream_init),
                                     ZELPH_BIND(ogg_stream_pagein), ZELPH_BIND(ogg_stream_packetout),
                                     ZELPH_BIND(ogg_stream_packetin), ZELPH_BIND(ogg_stream_pageout),
                                     ZELPH_BIND(ogg_stream_flush), ZELPH_BIND(ogg_stream_clear)});
}

bool LoadVorbisCalls(CodecLibraries& libraries, VorbisCalls& calls) {
    return libraries.Load(
        "Vorbis.so",
        {ZELPH_BIND(vorbis_info_init), ZELPH_BIND(vorbis_info_clear), ZELPH_BIND(vorbis_comment_init),
         ZELPH_BIND(vorbis_comment_clear), ZELPH_BIND(vorbis_comment_add_tag), ZELPH_BIND(vorbis_dsp_clear),
         ZELPH_BIND(vorbis_block_init), ZELPH_BIND(vorbis_block_clear), ZELPH_BIND(vorbis_synthesis_headerin),
         ZELPH_BIND(vorbis_synthesis_init), ZELPH_BIND(vorbis_synthesis), ZELPH_BIND(vorbis_synthesis_blockin),
         ZELPH_BIND(vorbis_synthesis_pcmout), ZELPH_BIND(vorbis_synthesis_read), ZELPH_BIND(vorbis_analysis_init),
         ZELPH_BIND(vorbis_analysis_headerout), ZELPH_BIND(vorbis_analysis_buffer),
         ZELPH_BIND(vorbis_analysis_wrote), ZELPH_BIND(vorbis_analysis_blockout), ZELPH_BIND(vorbis_analysis),
         ZELPH_BIND(vorbis_bitrate_addblock), ZELPH_BIND(vorbis_bitrate_flushpacket)});
}

bool LoadVorbisEncCalls(CodecLibraries& libraries, VorbisEncCalls& calls) {
    return libraries.Load("VorbisEnc.so", {ZELPH_BIND(vorbis_encode_init), ZELPH_BIND(vorbis_encode_init_vbr),
                                           ZELPH_BIND(vorbis_encode_setup_managed), ZELPH_BIND(vorbis_encode_ctl),
                                           ZELPH_BIND(vorbis_encode_setup_init)});
}

#undef ZELPH_BIND

}  // namespace zelph
