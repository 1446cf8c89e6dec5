#include "codecs/ffmpegcalls.h"

namespace zelph {

namespace {

bool Load(CodecLibraries& libraries, FfmpegCalls& f) {
    const bool loaded =
        libraries.Load("AVUtil.so", {Bind("av_frame_alloc", f.av_frame_alloc), Bind("av_frame_free", f.av_frame_free),
                                     Bind("av_frame_unref", f.av_frame_unref), Bind("av_log_set_level", f.av_log_set_level),
                                     Bind("av_sample_fmt_is_planar", f.av_sample_fmt_is_planar),
                                     Bind("av_get_packed_sample_fmt", f.av_get_packed_sample_fmt),
                                     Bind("av_dict_set", f.av_dict_set), Bind("av_dict_free", f.av_dict_free),
                                     Bind("av_malloc", f.av_malloc), Bind("av_free", f.av_free),
                                     Bind("av_frame_get_buffer", f.av_frame_get_buffer),
                                     Bind("av_frame_make_writable", f.av_frame_make_writable),
                                     Bind("av_channel_layout_default", f.av_channel_layout_default)}) &&
        libraries.Load("AVCodec.so", {Bind("avcodec_alloc_context3", f.avcodec_alloc_context3),
                                      Bind("avcodec_parameters_to_context", f.avcodec_parameters_to_context),
                                      Bind("avcodec_open2", f.avcodec_open2),
                                      Bind("avcodec_send_packet", f.avcodec_send_packet),
                                      Bind("avcodec_receive_frame", f.avcodec_receive_frame),
                                      Bind("avcodec_free_context", f.avcodec_free_context),
                                      Bind("avcodec_profile_name", f.avcodec_profile_name),
                                      Bind("av_packet_alloc", f.av_packet_alloc), Bind("av_packet_free", f.av_packet_free),
                                      Bind("av_packet_unref", f.av_packet_unref),
                                      Bind("avcodec_find_encoder_by_name", f.avcodec_find_encoder_by_name),
                                      Bind("avcodec_parameters_from_context", f.avcodec_parameters_from_context),
                                      Bind("avcodec_send_frame", f.avcodec_send_frame),
                                      Bind("avcodec_receive_packet", f.avcodec_receive_packet),
                                      Bind("av_packet_rescale_ts", f.av_packet_rescale_ts)}) &&
        libraries.Load("AVFormat.so", {Bind("avformat_alloc_context", f.avformat_alloc_context),
                                       Bind("avformat_open_input", f.avformat_open_input),
                                       Bind("avformat_find_stream_info", f.avformat_find_stream_info),
                                       Bind("av_find_best_stream", f.av_find_best_stream),
                                       Bind("av_read_frame", f.av_read_frame),
                                       Bind("avformat_close_input", f.avformat_close_input),
                                       Bind("avformat_alloc_output_context2", f.avformat_alloc_output_context2),
                                       Bind("avformat_new_stream", f.avformat_new_stream),
                                       Bind("avformat_write_header", f.avformat_write_header),
                                       Bind("av_write_frame", f.av_write_frame), Bind("av_write_trailer", f.av_write_trailer),
                                       Bind("avformat_free_context", f.avformat_free_context),
                                       Bind("avio_alloc_context", f.avio_alloc_context),
                                       Bind("avio_context_free", f.avio_context_free)});
    if (loaded) f.av_log_set_level(AV_LOG_QUIET);
    return loaded;
}

}  // namespace

const FfmpegCalls* LoadFfmpeg(std::string& error) {
    static CodecLibraries libraries(CodecLibraries::Lifetime::kProcess);
    static FfmpegCalls calls;
    static const bool loaded = Load(libraries, calls);
    if (!loaded) error = libraries.error();
    return loaded ? &calls : nullptr;
}

}  // namespace zelph
