#include "formats/aiffform.h"

#include <bit>
#include <cstring>

#include "formats/bytereader.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {

uint8_t* PutBE(uint8_t* at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) *at++ = static_cast<uint8_t>(value >> (8 * i));
    return at;
}

// The rate as an 80-bit IEEE extended number: sign and 15-bit exponent,
// then a 64-bit mantissa with its leading one stated.
uint8_t* PutExtended(uint8_t* at, uint32_t rate) {
    const int exponent = std::bit_width(rate) - 1;
    at = PutBE(at, static_cast<uint64_t>(16383 + exponent), 2);
    return PutBE(at, uint64_t{rate} << (63 - exponent), 8);
}

}  // namespace

std::array<uint8_t, kAiffHeaderBytes> AiffHeader(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample,
                                                 uint64_t audioBytes) {
    std::array<uint8_t, kAiffHeaderBytes> header{};
    const uint64_t padded = audioBytes + (audioBytes & 1);
    const uint32_t frames = static_cast<uint32_t>(audioBytes / (channels * (bitsPerSample / 8u)));
    uint8_t* at = header.data();
    std::memcpy(at, "FORM", 4);
    at = PutBE(at + 4, kAiffHeaderBytes - 8 + padded, 4);
    std::memcpy(at, "AIFFCOMM", 8);
    at = PutBE(at + 8, 18, 4);
    at = PutBE(at, channels, 2);
    at = PutBE(at, frames, 4);
    at = PutBE(at, bitsPerSample, 2);
    at = PutExtended(at, sampleRate);
    std::memcpy(at, "SSND", 4);
    // The chunk's offset and block size fields (both 0) come before the audio.
    PutBE(at + 4, 8 + audioBytes, 4);
    return header;
}

std::optional<uint64_t> AiffAudioExtent(const ReadOnlyFile& file) {
    std::array<uint8_t, 12> form{};
    if (file.ReadAt(0, form.data(), form.size()) != form.size()) return std::nullopt;
    ByteReader header(form);
    if (!header.Tag("FORM")) return std::nullopt;
    const uint64_t stated = uint64_t{header.BE32()} + 8;
    if (!header.Tag("AIFF") || (stated != file.size() && stated != file.size() + 1)) return std::nullopt;
    std::optional<uint64_t> audio;
    for (uint64_t offset = 12; offset < file.size();) {
        std::array<uint8_t, 8> chunk{};
        if (file.ReadAt(offset, chunk.data(), chunk.size()) != chunk.size()) return std::nullopt;
        ByteReader reader(chunk);
        const bool isSound = reader.Tag("SSND");
        const uint64_t size = reader.BE32();
        if (isSound) {
            if (size < 8) return std::nullopt;
            audio = size - 8;
        }
        offset += 8 + size;
        if (offset > file.size()) return std::nullopt;
        if (offset < file.size()) offset += size & 1;
    }
    return audio;
}

}  // namespace zelph
