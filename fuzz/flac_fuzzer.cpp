#include "formats/flacprobe.h"
#include "formats/probes.h"
#include "fuzz/probefuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return zelph::fuzz::DescribeBytes(data, size, zelph::DescribeFlacFile);
}
