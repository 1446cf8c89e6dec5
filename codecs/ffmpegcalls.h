#pragma once
// FFmpeg's libraries as the verify step and the decoder of other people's
// formats hold them: every entry point resolved by name from Plugins
// (AVUtil.so, AVCodec.so, AVFormat.so), never linked, and each object they
// hand out freed on every path out.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <string>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct FfmpegCalls {
    ZELPH_CALL(avformat_alloc_context);
    ZELPH_CALL(avformat_open_input);
    ZELPH_CALL(avformat_find_stream_info);
    ZELPH_CALL(av_find_best_stream);
    ZELPH_CALL(av_read_frame);
    ZELPH_CALL(avformat_close_input);
    ZELPH_CALL(avcodec_alloc_context3);
    ZELPH_CALL(avcodec_parameters_to_context);
    ZELPH_CALL(avcodec_open2);
    ZELPH_CALL(avcodec_send_packet);
    ZELPH_CALL(avcodec_receive_frame);
    ZELPH_CALL(avcodec_free_context);
    ZELPH_CALL(avcodec_profile_name);
    ZELPH_CALL(av_packet_alloc);
    ZELPH_CALL(av_packet_free);
    ZELPH_CALL(av_packet_unref);
    ZELPH_CALL(av_frame_alloc);
    ZELPH_CALL(av_frame_free);
    ZELPH_CALL(av_frame_unref);
    ZELPH_CALL(av_log_set_level);
    ZELPH_CALL(av_sample_fmt_is_planar);
    ZELPH_CALL(av_get_packed_sample_fmt);
    ZELPH_CALL(av_dict_set);
    ZELPH_CALL(av_dict_free);
};

#undef ZELPH_CALL

// The three libraries, loaded once for the rest of the process: FFmpeg
// builds its codec tables once and keeps them in its globals, which
// unloading would orphan. Its own messages are silenced: they would land
// among the result lines. nullptr, with `error` saying why, when they
// cannot be loaded.
const FfmpegCalls* LoadFfmpeg(std::string& error);

// Each FFmpeg object freed on every path out.
struct AvInput {
    const FfmpegCalls& av;
    AVFormatContext* context = nullptr;
    ~AvInput() { av.avformat_close_input(&context); }
};
struct AvDecoder {
    const FfmpegCalls& av;
    AVCodecContext* context = nullptr;
    ~AvDecoder() { av.avcodec_free_context(&context); }
};
struct AvPacket {
    const FfmpegCalls& av;
    AVPacket* packet = av.av_packet_alloc();
    ~AvPacket() { av.av_packet_free(&packet); }
};
struct AvFrame {
    const FfmpegCalls& av;
    AVFrame* frame = av.av_frame_alloc();
    ~AvFrame() { av.av_frame_free(&frame); }
};
struct AvOptions {
    const FfmpegCalls& av;
    AVDictionary* dictionary = nullptr;
    ~AvOptions() { av.av_dict_free(&dictionary); }
};

}  // namespace zelph
