// One probe (chosen at build time) describing a file made of the fuzz input;
// the FFmpeg one goes through its whitelisted demuxers (the decode has
// decoder_fuzzer.cpp).

#include "codecs/ffmpegdecoder.h"
#include "formats/flacprobe.h"
#include "formats/probes.h"
#include "fuzz/probefuzz.h"

namespace {

#if defined(ZELPH_FUZZ_APE)
constexpr auto kProbe = zelph::DescribeApeFile;
#elif defined(ZELPH_FUZZ_FLAC)
constexpr auto kProbe = zelph::DescribeFlacFile;
#elif defined(ZELPH_FUZZ_MPEG)
constexpr auto kProbe = zelph::DescribeMpegFile;
#elif defined(ZELPH_FUZZ_OGG)
constexpr auto kProbe = zelph::DescribeOggFile;
#elif defined(ZELPH_FUZZ_OPUS)
constexpr auto kProbe = zelph::DescribeOpusFile;
#elif defined(ZELPH_FUZZ_FFMPEG)
constexpr auto kProbe = zelph::DescribeFfmpegFile;
#else
constexpr auto kProbe = zelph::DescribeTwinVqFile;
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return zelph::fuzz::DescribeBytes(data, size, kProbe);
}
