#pragma once
// A 64-bit hash of a byte stream that takes eight bytes a step (a multiply
// and a rotation, each a bijection, so one changed word always changes the
// result), for whole files. Bytes are carried across calls, so the result
// does not depend on how the stream is cut.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zelph {

class WordDigest {
public:
    void Add(const uint8_t* bytes, std::size_t size) {
        while (size > 0 && pendingSize_ > 0) {
            Push(*bytes++);
            --size;
        }
        for (; size >= 8; bytes += 8, size -= 8) {
            uint64_t word;
            std::memcpy(&word, bytes, 8);
            Mix(word);
        }
        while (size-- > 0) Push(*bytes++);
    }
    // The hash of everything added; the last partial word is padded with
    // zeros and its length mixed in, so "a" and "a\0" differ.
    uint64_t Finish() {
        const uint64_t count = pendingSize_;
        while (pendingSize_ > 0) Push(0);
        Mix(count);
        return value_;
    }

private:
    void Mix(uint64_t word) { value_ = std::rotl((value_ ^ word) * 1099511628211ull, 29); }
    void Push(uint8_t byte) {
        pending_ |= static_cast<uint64_t>(byte) << (8 * pendingSize_);
        if (++pendingSize_ < 8) return;
        Mix(pending_);
        pending_ = 0;
        pendingSize_ = 0;
    }

    uint64_t value_ = 14695981039346656037ull;
    uint64_t pending_ = 0;
    unsigned pendingSize_ = 0;
};

}  // namespace zelph
