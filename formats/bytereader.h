#pragma once
// Little-endian fields out of untrusted bytes. Every read checks the bytes
// that remain; a read past the end yields zeros and marks the reader failed,
// so a parser can read a whole header and test ok() once.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace zelph {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }

    uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
    uint64_t U64() { return Take(8); }
    int16_t S16() { return static_cast<int16_t>(U16()); }
    int32_t S32() { return static_cast<int32_t>(U32()); }

    // Big-endian, for the formats that store their fields that way.
    uint32_t BE32() {
        const uint32_t v = U32();
        return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    }

    // The next `count` bytes, or an empty span (and failure) if fewer remain.
    std::span<const uint8_t> Bytes(std::size_t count) {
        if (!Need(count)) return {};
        auto out = bytes_.subspan(pos_, count);
        pos_ += count;
        return out;
    }

    bool Skip(std::size_t count) { return !Bytes(count).empty() || count == 0; }

    // True (and consumed) when the next bytes equal `tag`.
    bool Tag(std::string_view tag) {
        auto got = Bytes(tag.size());
        return ok_ && std::memcmp(got.data(), tag.data(), tag.size()) == 0;
    }

private:
    bool Need(std::size_t count) {
        if (!ok_ || count > remaining()) {
            ok_ = false;
            return false;
        }
        return true;
    }

    uint64_t Take(std::size_t width) {
        if (!Need(width)) return 0;
        uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) v |= uint64_t{bytes_[pos_ + i]} << (8 * i);
        pos_ += width;
        return v;
    }

    std::span<const uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

inline void PutLE16(uint8_t* out, uint16_t v) {
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
}

inline void PutLE32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace zelph
