#pragma once
// FFmpeg's libraries as the verify step, the decoder of other people's
// formats and the M4A encoders hold them: every entry point resolved by name from Plugins
// (AVUtil.so, AVCodec.so, AVFormat.so), never linked, and each object they
// hand out freed on every path out.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
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
    // Encoding and muxing.
    ZELPH_CALL(av_malloc);
    ZELPH_CALL(av_free);
    ZELPH_CALL(av_frame_get_buffer);
    ZELPH_CALL(av_frame_make_writable);
    ZELPH_CALL(av_channel_layout_default);
    ZELPH_CALL(avcodec_find_encoder_by_name);
    ZELPH_CALL(avcodec_parameters_from_context);
    ZELPH_CALL(avcodec_send_frame);
    ZELPH_CALL(avcodec_receive_packet);
    ZELPH_CALL(av_packet_rescale_ts);
    ZELPH_CALL(avformat_alloc_output_context2);
    ZELPH_CALL(avformat_new_stream);
    ZELPH_CALL(avformat_write_header);
    ZELPH_CALL(av_write_frame);
    ZELPH_CALL(av_write_trailer);
    ZELPH_CALL(avformat_free_context);
    ZELPH_CALL(avio_alloc_context);
    ZELPH_CALL(avio_context_free);
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
using AvEncoder = AvDecoder;  // the same context, opened to encode
// A muxer and the I/O context it writes through (whose buffer FFmpeg may
// have replaced; it is freed with the context).
struct AvOutput {
    const FfmpegCalls& av;
    AVFormatContext* context = nullptr;
    AVIOContext* io = nullptr;
    ~AvOutput() {
        if (io) av.av_free(io->buffer);
        av.avio_context_free(&io);
        av.avformat_free_context(context);
    }
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
