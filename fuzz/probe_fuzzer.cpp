// One probe (ZELPH_PROBE, named at build time) describing a file made of the
// fuzz input; the FFmpeg one goes through its whitelisted demuxers (the
// decode has decoder_fuzzer.cpp).

#include "codecs/ffmpegdecoder.h"
#include "formats/flacprobe.h"
#include "formats/probes.h"
#include "fuzz/probefuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return zelph::fuzz::DescribeBytes(data, size, zelph::ZELPH_PROBE);
}
