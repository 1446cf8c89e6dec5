#include "plugins/macdll/checksums.h"

#include <cmath>
#include <cstring>

namespace zelph::ape {
namespace {

// Eight tables, so that eight bytes are folded in per step ("slicing by 8"):
// entry[k][b] is the CRC of byte b followed by k zero bytes.
struct CrcTable {
    std::array<std::array<uint32_t, 256>, 8> entry{};
    CrcTable() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[0][i] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (uint32_t i = 0; i < 256; ++i) entry[k][i] = entry[0][entry[k - 1][i] & 0xFF] ^ (entry[k - 1][i] >> 8);
    }
};

const CrcTable kCrcTable;

uint32_t Rotl(uint32_t v, int by) { return (v << by) | (v >> (32 - by)); }

// Per-round shift amounts and the sine-derived constants of RFC 1321.
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

struct Md5Constants {
    std::array<uint32_t, 64> k{};
    Md5Constants() {
        for (int i = 0; i < 64; ++i)
            k[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
    }
};

const Md5Constants kMd5;

}  // namespace

void Crc32::Add(std::span<const uint8_t> bytes) {
    const auto& t = kCrcTable.entry;
    uint32_t c = state_;
    const uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 8; n -= 8, p += 8) {
        const uint32_t low = c ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
        c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
            t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; n > 0; --n, ++p) c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    state_ = c;
}

Md5::Md5() : h_{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u} {}

void Md5::Block(const uint8_t* block) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = uint32_t{block[4 * i]} | uint32_t{block[4 * i + 1]} << 8 | uint32_t{block[4 * i + 2]} << 16 |
               uint32_t{block[4 * i + 3]} << 24;
    uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3];
    // One loop per round, each with its own mixing function, so that the
    // compiler unrolls them with every constant folded in.
    auto step = [&](uint32_t f, int i, int g) {
        const uint32_t next = b + Rotl(a + f + kMd5.k[i] + m[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    };
    for (int i = 0; i < 16; ++i) step((b & c) | (~b & d), i, i);
    for (int i = 16; i < 32; ++i) step((d & b) | (~d & c), i, (5 * i + 1) % 16);
    for (int i = 32; i < 48; ++i) step(b ^ c ^ d, i, (3 * i + 5) % 16);
    for (int i = 48; i < 64; ++i) step(c ^ (b | ~d), i, (7 * i) % 16);
    h_[0] += a;
    h_[1] += b;
    h_[2] += c;
    h_[3] += d;
}

void Md5::Add(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    totalBytes_ += bytes.size();
    std::size_t at = 0;
    if (pendingBytes_ > 0) {
        const std::size_t take = std::min(bytes.size(), 64 - pendingBytes_);
        std::memcpy(pending_.data() + pendingBytes_, bytes.data(), take);
        pendingBytes_ += take;
        at = take;
        if (pendingBytes_ < 64) return;
        Block(pending_.data());
        pendingBytes_ = 0;
    }
    for (; at + 64 <= bytes.size(); at += 64) Block(bytes.data() + at);
    std::memcpy(pending_.data(), bytes.data() + at, bytes.size() - at);
    pendingBytes_ = bytes.size() - at;
}

std::array<uint8_t, 16> Md5::Finish() {
    const uint64_t bits = totalBytes_ * 8;
    uint8_t tail[72] = {0x80};
    const std::size_t padding = (pendingBytes_ < 56 ? 56 : 120) - pendingBytes_;
    for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<uint8_t>(bits >> (8 * i));
    Add({tail, padding + 8});
    std::array<uint8_t, 16> out{};
    for (int i = 0; i < 16; ++i) out[i] = static_cast<uint8_t>(h_[i / 4] >> (8 * (i % 4)));
    return out;
}

}  // namespace zelph::ape
