#pragma once
// The two checksums of a Monkey's Audio file: the CRC-32 each frame carries
// over its PCM bytes, and the MD5 the descriptor carries over the file body.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zelph::ape {

// IEEE CRC-32 (reflected, as zlib computes it).
class Crc32 {
public:
    void Add(std::span<const uint8_t> bytes);
    uint32_t Value() const { return ~state_; }
    void Reset() { state_ = 0xFFFFFFFFu; }

private:
    uint32_t state_ = 0xFFFFFFFFu;
};

class Md5 {
public:
    Md5();
    void Add(std::span<const uint8_t> bytes);
    std::array<uint8_t, 16> Finish();

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 4> h_;
    std::array<uint8_t, 64> pending_{};
    std::size_t pendingBytes_ = 0;
    uint64_t totalBytes_ = 0;
};

}  // namespace zelph::ape
