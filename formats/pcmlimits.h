#pragma once
// The PCM formats any of our encoders takes. A header is read from an
// untrusted file, and its rate, channel count and frame size are divided by
// and multiplied with further on; a value outside these bounds is refused
// before it is used, so that no encoder divides by zero or turns a 1 Hz
// "rate" into a resampling that never ends.

#include <cstdint>

#include "formats/waveheader.h"

namespace zelph {

inline constexpr uint32_t kMinPcmRate = 1000;
inline constexpr uint32_t kMaxPcmRate = 768000;

constexpr bool IsPcmRate(uint64_t hz) { return hz >= kMinPcmRate && hz <= kMaxPcmRate; }

// At least one channel, whole-byte integer samples of 8 to 32 bits, and a
// frame exactly as long as its samples.
constexpr bool IsPcmLayout(uint32_t channels, uint32_t bitsPerSample, uint32_t blockAlign) {
    const bool bits = bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32;
    return channels >= 1 && bits && blockAlign == channels * (bitsPerSample / 8);
}

constexpr bool IsPcmFormat(uint32_t channels, uint64_t hz, uint32_t bitsPerSample, uint32_t blockAlign) {
    return IsPcmRate(hz) && IsPcmLayout(channels, bitsPerSample, blockAlign);
}

inline bool IsPcmFormat(const WaveHeader& header) {
    return IsPcmFormat(header.channels, header.sampleRate, header.bitsPerSample, header.blockAlign);
}

}  // namespace zelph
