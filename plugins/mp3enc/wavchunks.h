#pragma once
// Where the PCM of a RIFF WAVE file is and what it holds, found by walking
// its chunks rather than trusting a fixed 44-byte header.

#include <cstdint>
#include <cstdio>
#include <optional>

namespace zelph::mp3enc {

struct WavLayout {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint16_t blockAlign = 0;   // bytes of one sample frame
    uint64_t dataOffset = 0;
    uint64_t dataSize = 0;     // clipped to what the file holds
};

// Walks the chunks from offset 12, each padded to an even size, to "fmt "
// and then "data". Integer PCM only: format tag 1, or WAVE_FORMAT_EXTENSIBLE
// with the PCM sub-format. Nullopt for anything else or a malformed file.
std::optional<WavLayout> ReadWavLayout(std::FILE* wav);

}  // namespace zelph::mp3enc
