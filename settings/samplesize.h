#pragma once
// The sample size a lossless target that writes 16 or 24 bits is told to
// write.

#include <cstdint>

namespace zelph {

// kAsSource takes 24 bits for a source of more than 16 bits, else 16.
enum class SampleSizeChoice : int32_t { kAsSource = 0, k16Bit = 1, k24Bit = 2 };

constexpr int ChosenBits(SampleSizeChoice choice, int sourceBits) {
    switch (choice) {
        case SampleSizeChoice::k16Bit: return 16;
        case SampleSizeChoice::k24Bit: return 24;
        default: return sourceBits > 16 ? 24 : 16;
    }
}

}  // namespace zelph
