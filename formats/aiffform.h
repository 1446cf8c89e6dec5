#pragma once
// AIFF as our target writes it: a FORM of a COMM chunk and the SSND chunk of
// big-endian PCM (tags follow in an "ID3 " chunk), and how much audio a
// written one holds.

#include <array>
#include <cstdint>
#include <optional>

namespace zelph {

class ReadOnlyFile;

inline constexpr std::size_t kAiffHeaderBytes = 54;
// The most audio a FORM's 32-bit size has room for, with the header and a
// tag chunk of a few megabytes.
inline constexpr uint64_t kMaxAiffAudioBytes = 0xFFFFFFFFull - (64u << 20);

// FORM, COMM and the SSND chunk's header for `audioBytes` of audio; the
// sizes count the pad byte an odd size is followed by.
std::array<uint8_t, kAiffHeaderBytes> AiffHeader(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample,
                                                 uint64_t audioBytes);

// Every chunk whole, the last allowed to lack its pad byte: the audio bytes
// of the SSND chunk.
std::optional<uint64_t> AiffAudioExtent(const ReadOnlyFile& file);

}  // namespace zelph
