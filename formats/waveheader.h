#pragma once
// The one PCM WAV header layout the converter writes, the reader that finds
// the format and the audio of a RIFF WAVE file, and the probe that describes
// a WAV file in the file list.

#include <array>
#include <cstdint>
#include <string>

#include "formats/file.h"

namespace zelph {

// 44 bytes, little-endian on disk; the PCM data of every file the converter
// writes starts right after it.
struct WaveHeader {
    char riffId[4];
    uint32_t riffSize;  // bytes after this field
    char waveId[4];
    char fmtId[4];
    uint32_t fmtSize;  // length of the format chunk body
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t byteRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    char dataId[4];
    uint32_t dataSize;  // PCM bytes after the header
};
static_assert(sizeof(WaveHeader) == 44, "WaveHeader must match the 44 bytes on disk");

inline constexpr uint32_t kWaveHeaderSize = 44;

// Finds the "fmt " chunk and then the "data" chunk of a RIFF WAVE file,
// stepping over any other chunk. Accepts integer PCM, also when written as
// WAVE_FORMAT_EXTENSIBLE (the header then reads format tag 1). On success the
// header holds the file's own values (fmtSize and dataSize as stored), the
// file is positioned at the first byte of the data chunk's body, and that
// offset is returned. On rejection returns 0 and leaves both the header and
// the file position as they were. Channels, rates and sizes are the caller's
// to check.
uint32_t ReadWaveHeader(File& file, WaveHeader& header);

// A canonical header for `dataSize` PCM bytes.
WaveHeader MakeWaveHeader(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample,
                          uint32_t dataSize);

std::array<uint8_t, kWaveHeaderSize> WaveHeaderBytes(const WaveHeader& header);

// Sizes known in advance: the header at the current position, before the data.
bool WriteWaveHeader(File& file, const WaveHeader& header);

// Sizes known only at the end: 44 zero bytes first, the data after them, and
// at the end the real header over the placeholder (the file is left at its
// end again, so more could follow).
bool WriteWaveHeaderPlaceholder(File& file);
bool PatchWaveHeader(File& file, const WaveHeader& header);

// The file list's one-line description of a WAV file, or its error text.
std::string DescribeWaveFile(const std::string& path);

}  // namespace zelph
