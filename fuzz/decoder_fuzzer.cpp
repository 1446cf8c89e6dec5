// One decode engine (chosen at build time: MP3, Ogg Vorbis, FLAC, Opus or
// the FFmpeg one over its whitelisted demuxers) over a file made of the
// fuzz input, with the system's codec library behind it.

#include "codecs/ffmpegdecoder.h"
#include "codecs/flacdecoder.h"
#include "codecs/mp3decoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/opusdecoder.h"
#include "fuzz/enginefuzz.h"

namespace {

#if defined(ZELPH_FUZZ_MP3)
constexpr zelph::EngineProc kEngine = zelph::DecodeMp3;
#define ZELPH_FUZZ_LIBRARIES {"Mpg123.so"}
#elif defined(ZELPH_FUZZ_FLAC)
constexpr zelph::EngineProc kEngine = zelph::DecodeFlac;
#define ZELPH_FUZZ_LIBRARIES {"FLAC.so"}
#elif defined(ZELPH_FUZZ_FFMPEG)
constexpr zelph::EngineProc kEngine = zelph::DecodeFfmpeg;
#define ZELPH_FUZZ_LIBRARIES {"AVUtil.so", "AVCodec.so", "AVFormat.so"}
#elif defined(ZELPH_FUZZ_OPUS)
constexpr zelph::EngineProc kEngine = zelph::DecodeOpus;
#define ZELPH_FUZZ_LIBRARIES {"OpusFile.so"}
#else
constexpr zelph::EngineProc kEngine = zelph::DecodeOggVorbis;
#define ZELPH_FUZZ_LIBRARIES {"Ogg.so", "Vorbis.so"}
#endif

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zelph::fuzz::HoldLibraries(ZELPH_FUZZ_LIBRARIES);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return zelph::fuzz::RunEngineOnBytes(kEngine, {}, data, size);
}
