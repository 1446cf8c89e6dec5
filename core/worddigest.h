#pragma once
// A 64-bit hash of a byte stream, for whole files: four lanes each take
// every fourth eight-byte word (a multiply and a rotation, each a bijection,
// so one changed word always changes its lane), so the processor works on
// four words at once; the lanes are then mixed into one. Bytes are carried
// across calls, so the result does not depend on how the stream is cut.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zelph {

class WordDigest {
public:
    void Add(const uint8_t* bytes, std::size_t size) {
        if (pendingSize_ > 0) {
            const std::size_t taken = std::min(size, kStride - pendingSize_);
            std::memcpy(pending_.data() + pendingSize_, bytes, taken);
            pendingSize_ += taken;
            bytes += taken;
            size -= taken;
            if (pendingSize_ < kStride) return;
            MixStrides(pending_.data(), 1);
            pendingSize_ = 0;
        }
        MixStrides(bytes, size / kStride);
        bytes += size / kStride * kStride;
        size %= kStride;
        std::memcpy(pending_.data(), bytes, size);
        pendingSize_ = size;
    }
    // The hash of everything added; the last partial stride is padded with
    // zeros and its length mixed in, so "a" and "a\0" differ.
    uint64_t Finish() {
        const uint64_t count = pendingSize_;
        if (pendingSize_ > 0) {
            std::memset(pending_.data() + pendingSize_, 0, kStride - pendingSize_);
            MixStrides(pending_.data(), 1);
            pendingSize_ = 0;
        }
        uint64_t value = kSeed;
        for (const uint64_t lane : lanes_) value = Mix(value, lane);
        return Mix(value, count);
    }

private:
    static constexpr std::size_t kLanes = 4, kStride = 8 * kLanes;
    static constexpr uint64_t kSeed = 14695981039346656037ull;

    static uint64_t Mix(uint64_t value, uint64_t word) { return std::rotl((value ^ word) * 1099511628211ull, 29); }
    // The lanes are held in registers: stored through `this` after each
    // word, they would have to be reloaded (the bytes might alias them).
    void MixStrides(const uint8_t* bytes, std::size_t strides) {
        auto [a, b, c, d] = lanes_;
        for (; strides > 0; --strides, bytes += kStride) {
            std::array<uint64_t, kLanes> words;
            std::memcpy(words.data(), bytes, kStride);
            a = Mix(a, words[0]);
            b = Mix(b, words[1]);
            c = Mix(c, words[2]);
            d = Mix(d, words[3]);
        }
        lanes_ = {a, b, c, d};
    }

    std::array<uint64_t, kLanes> lanes_{kSeed, kSeed + 1, kSeed + 2, kSeed + 3};
    std::array<uint8_t, kStride> pending_{};
    std::size_t pendingSize_ = 0;
};

}  // namespace zelph
