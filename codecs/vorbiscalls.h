#pragma once
// libogg's and libvorbis's entry points as the Ogg Vorbis engines hold them
// (resolved by name from the Plugins folder, never linked), and the library
// state of one logical stream, released exactly once on every path out.

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct OggCalls {
    ZELPH_CALL(ogg_sync_init);
    ZELPH_CALL(ogg_sync_buffer);
    ZELPH_CALL(ogg_sync_wrote);
    ZELPH_CALL(ogg_sync_pageout);
    ZELPH_CALL(ogg_sync_clear);
    ZELPH_CALL(ogg_page_serialno);
    ZELPH_CALL(ogg_page_eos);
    ZELPH_CALL(ogg_stream_init);
    ZELPH_CALL(ogg_stream_pagein);
    ZELPH_CALL(ogg_stream_packetout);
    ZELPH_CALL(ogg_stream_packetin);
    ZELPH_CALL(ogg_stream_pageout);
    ZELPH_CALL(ogg_stream_flush);
    ZELPH_CALL(ogg_stream_clear);
};

struct VorbisCalls {
    ZELPH_CALL(vorbis_info_init);
    ZELPH_CALL(vorbis_info_clear);
    ZELPH_CALL(vorbis_comment_init);
    ZELPH_CALL(vorbis_comment_clear);
    ZELPH_CALL(vorbis_comment_add_tag);
    ZELPH_CALL(vorbis_dsp_clear);
    ZELPH_CALL(vorbis_block_init);
    ZELPH_CALL(vorbis_block_clear);
    ZELPH_CALL(vorbis_synthesis_headerin);
    ZELPH_CALL(vorbis_synthesis_init);
    ZELPH_CALL(vorbis_synthesis);
    ZELPH_CALL(vorbis_synthesis_blockin);
    ZELPH_CALL(vorbis_synthesis_pcmout);
    ZELPH_CALL(vorbis_synthesis_read);
    ZELPH_CALL(vorbis_analysis_init);
    ZELPH_CALL(vorbis_analysis_headerout);
    ZELPH_CALL(vorbis_analysis_buffer);
    ZELPH_CALL(vorbis_analysis_wrote);
    ZELPH_CALL(vorbis_analysis_blockout);
    ZELPH_CALL(vorbis_analysis);
    ZELPH_CALL(vorbis_bitrate_addblock);
    ZELPH_CALL(vorbis_bitrate_flushpacket);
};

struct VorbisEncCalls {
    ZELPH_CALL(vorbis_encode_init);
    ZELPH_CALL(vorbis_encode_init_vbr);
    ZELPH_CALL(vorbis_encode_setup_managed);
    ZELPH_CALL(vorbis_encode_ctl);
    ZELPH_CALL(vorbis_encode_setup_init);
};

#undef ZELPH_CALL

class CodecLibraries;

// Each resolves every entry point of its structure from its library in the
// Plugins folder (Ogg.so, Vorbis.so, VorbisEnc.so); false when any is missing.
bool LoadOggCalls(CodecLibraries& libraries, OggCalls& calls);
bool LoadVorbisCalls(CodecLibraries& libraries, VorbisCalls& calls);
bool LoadVorbisEncCalls(CodecLibraries& libraries, VorbisEncCalls& calls);

// One logical stream: its packet framing and its Vorbis info, comment,
// DSP and block state. The info and comment are set up on construction;
// the DSP state by whichever side (analysis or synthesis) uses it.
class VorbisStream {
public:
    VorbisStream(const OggCalls& ogg, const VorbisCalls& vorbis, int serialNumber) : ogg_(ogg), vorbis_(vorbis) {
        ogg_.ogg_stream_init(&stream, serialNumber);
        vorbis_.vorbis_info_init(&info);
        vorbis_.vorbis_comment_init(&comment);
    }
    ~VorbisStream() {
        ogg_.ogg_stream_clear(&stream);
        if (dspReady_) {
            vorbis_.vorbis_block_clear(&block);
            vorbis_.vorbis_dsp_clear(&dsp);
        }
        vorbis_.vorbis_comment_clear(&comment);
        vorbis_.vorbis_info_clear(&info);
    }
    VorbisStream(const VorbisStream&) = delete;
    VorbisStream& operator=(const VorbisStream&) = delete;

    bool StartSynthesis() { return Started(vorbis_.vorbis_synthesis_init(&dsp, &info) == 0); }
    bool StartAnalysis() { return Started(vorbis_.vorbis_analysis_init(&dsp, &info) == 0); }

    ogg_stream_state stream{};
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};

private:
    bool Started(bool dspReady) {
        if (dspReady) vorbis_.vorbis_block_init(&dsp, &block);
        dspReady_ = dspReady;
        return dspReady;
    }

    const OggCalls& ogg_;
    const VorbisCalls& vorbis_;
    bool dspReady_ = false;
};

}  // namespace zelph
