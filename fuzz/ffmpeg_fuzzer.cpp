// The description of a file of another format, through FFmpeg's whitelisted
// demuxers (the decode has decoder_fuzzer.cpp).

#include "codecs/ffmpegdecoder.h"
#include "fuzz/probefuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return zelph::fuzz::DescribeBytes(data, size, zelph::DescribeFfmpegFile);
}
