#pragma once
// FFmpeg's entry points, resolved by name from the libraries in the Plugins
// folder (a conversion that needs none never maps them), and its objects,
// each freed on every path out. Used by the verify step and by the audio
// fingerprint of a re-run.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <string>

#include "codecs/libraryloader.h"

namespace zelph {

struct FfmpegCalls {
    decltype(&::avformat_open_input) avformat_open_input = nullptr;
    decltype(&::avformat_find_stream_info) avformat_find_stream_info = nullptr;
    decltype(&::av_find_best_stream) av_find_best_stream = nullptr;
    decltype(&::av_read_frame) av_read_frame = nullptr;
    decltype(&::avformat_close_input) avformat_close_input = nullptr;
    decltype(&::avcodec_alloc_context3) avcodec_alloc_context3 = nullptr;
    decltype(&::avcodec_parameters_to_context) avcodec_parameters_to_context = nullptr;
    decltype(&::avcodec_open2) avcodec_open2 = nullptr;
    decltype(&::avcodec_send_packet) avcodec_send_packet = nullptr;
    decltype(&::avcodec_receive_frame) avcodec_receive_frame = nullptr;
    decltype(&::avcodec_free_context) avcodec_free_context = nullptr;
    decltype(&::av_packet_alloc) av_packet_alloc = nullptr;
    decltype(&::av_packet_free) av_packet_free = nullptr;
    decltype(&::av_packet_unref) av_packet_unref = nullptr;
    decltype(&::av_frame_alloc) av_frame_alloc = nullptr;
    decltype(&::av_frame_free) av_frame_free = nullptr;
    decltype(&::av_frame_unref) av_frame_unref = nullptr;
    decltype(&::av_log_set_level) av_log_set_level = nullptr;
    decltype(&::av_sample_fmt_is_planar) av_sample_fmt_is_planar = nullptr;
    decltype(&::av_get_packed_sample_fmt) av_get_packed_sample_fmt = nullptr;

    bool Load(CodecLibraries& libraries) {
        return libraries.Load("AVUtil.so", {Bind("av_frame_alloc", av_frame_alloc), Bind("av_frame_free", av_frame_free),
                                            Bind("av_frame_unref", av_frame_unref),
                                            Bind("av_log_set_level", av_log_set_level),
                                            Bind("av_sample_fmt_is_planar", av_sample_fmt_is_planar),
                                            Bind("av_get_packed_sample_fmt", av_get_packed_sample_fmt)}) &&
               libraries.Load("AVCodec.so", {Bind("avcodec_alloc_context3", avcodec_alloc_context3),
                                             Bind("avcodec_parameters_to_context", avcodec_parameters_to_context),
                                             Bind("avcodec_open2", avcodec_open2),
                                             Bind("avcodec_send_packet", avcodec_send_packet),
                                             Bind("avcodec_receive_frame", avcodec_receive_frame),
                                             Bind("avcodec_free_context", avcodec_free_context),
                                             Bind("av_packet_alloc", av_packet_alloc), Bind("av_packet_free", av_packet_free),
                                             Bind("av_packet_unref", av_packet_unref)}) &&
               libraries.Load("AVFormat.so", {Bind("avformat_open_input", avformat_open_input),
                                              Bind("avformat_find_stream_info", avformat_find_stream_info),
                                              Bind("av_find_best_stream", av_find_best_stream),
                                              Bind("av_read_frame", av_read_frame),
                                              Bind("avformat_close_input", avformat_close_input)});
    }
};

// Each FFmpeg object freed on every path out.
struct InputFile {
    const FfmpegCalls& av;
    AVFormatContext* context = nullptr;
    ~InputFile() { av.avformat_close_input(&context); }
};
struct Decoder {
    const FfmpegCalls& av;
    AVCodecContext* context = nullptr;
    ~Decoder() { av.avcodec_free_context(&context); }
};
struct Packet {
    const FfmpegCalls& av;
    AVPacket* packet = av.av_packet_alloc();
    ~Packet() { av.av_packet_free(&packet); }
};
struct Frame {
    const FfmpegCalls& av;
    AVFrame* frame = av.av_frame_alloc();
    ~Frame() { av.av_frame_free(&frame); }
};

// FFmpeg loaded for the rest of the process (it builds tables once and keeps
// them in its globals), quiet, or nullptr with `error` saying why not.
const FfmpegCalls* LoadFfmpeg(std::string& error);

}  // namespace zelph
