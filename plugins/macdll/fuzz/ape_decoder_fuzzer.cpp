// Feeds arbitrary bytes to the decoder as a whole file: opening and decoding
// must end in a result, never a crash, a hang or an outsized allocation.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugins/macdll/decompressor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int error = 0;
    auto d = zelph::ape::Decompressor::Open(zelph::ape::MemorySource({data, size}), error);
    if (!d) return 0;
    constexpr uint32_t kBlocks = 64;
    std::vector<uint8_t> buffer(std::size_t(d->Info(1007)) * kBlocks);
    // A few bytes can rightly stand for millions of quiet blocks, so the work
    // per input is bounded to keep the runs fast.
    uint32_t got = 1;
    for (int calls = 0; got > 0 && calls < 8; ++calls)
        if (d->GetData(buffer.data(), kBlocks, got) != 0) break;
    // Into the second frame, past its start, so that the seek decodes a little.
    const uint64_t total = uint64_t(d->Info(2002));
    if (total > 0 && d->Seek(std::min<uint64_t>(total - 1, uint64_t(d->Info(1008)) + 20)) == 0)
        d->GetData(buffer.data(), kBlocks, got);
    return 0;
}
