#pragma once
// The canonical 44-byte PCM WAV header every written WAV starts with, the
// reader that finds the format and the audio of any RIFF WAVE file, and the
// one-line description of a WAV file.

#include <cstdint>
#include <string>

#include "formats/exclusivefile.h"

namespace zelph {

#pragma pack(push, 1)
struct WaveHeader {
    char riffId[4];
    uint32_t riffSize;
    char waveId[4];
    char fmtId[4];
    uint32_t fmtSize;
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t byteRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    char dataId[4];
    uint32_t dataSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveHeader) == 44);

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatFloat = 3;

// A source of any sample type: integer or floating-point samples, with the
// speaker positions of an extensible file.
struct WaveFormat {
    WaveHeader header{};        // formatTag is kWaveFormatPcm or kWaveFormatFloat
    uint32_t channelMask = 0;   // speaker bits, one per channel in order; 0: none given
    // The audio bytes in whole sample frames: the data chunk's real length,
    // which can pass 4 GiB (from the ds64 chunk of an RF64 or BW64 file, or
    // a wrapped 32-bit size in a last data chunk); a size of 0 or 0xFFFFFFFF,
    // as streamed files have, means up to the end.
    uint64_t audioBytes = 0;
    // The audio bytes, in whole sample frames, the data chunk states: more
    // than audioBytes when the file ends before its audio does (the audio
    // that is there is read, and the shortfall is told).
    uint64_t statedAudioBytes = 0;
};

// The speakers of `format`'s channels, one bit each in channel order: its own
// mask when that names one speaker per channel, else the usual layout for 1
// to 8 channels (0 for more).
uint32_t SpeakerMask(const WaveFormat& format);

// Reads the RIFF (or RF64/BW64) chunks of the open file `fd`: the "fmt "
// chunk, then the "data" chunk, skipping any other chunk. Accepts integer
// PCM (format tag 1, or the extensible form with the PCM sub-format,
// returned as tag 1) of 1 to 8 channels, 1 to 768 kHz, 8/16/24/32 bits and
// a block align of channels x bytes per sample, whose data chunk is as long
// as it says or runs to the end of a file that ends early. On success fills `format` with the file's own values
// (dataSize as stored), positions the file at the first audio byte and
// returns that offset; on rejection returns 0, says why in `reason` (when
// given) and leaves the position and `format` as they were.
uint32_t ReadWaveHeader(int fd, WaveFormat& format, std::string* reason = nullptr);

// ReadWaveHeader that also takes 32- and 64-bit floating-point files (the
// extensible form resolved to tag 1 or 3).
uint32_t ReadWaveFormat(int fd, WaveFormat& format, std::string* reason = nullptr);

WaveHeader MakeWaveHeader(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample,
                          uint32_t dataSize);

// Sizes known in advance: the header at the current position, then the data.
bool WriteWaveHeader(ExclusiveFile& file, const WaveHeader& header);

// The header of `dataBytes` bytes of integer PCM at the current position:
// the 44-byte form when its sizes fit in 32 bits, else the RF64 form (the
// real sizes in a "ds64" chunk, the 32-bit ones 0xFFFFFFFF), as other tools
// write WAVs over 4 GiB.
bool WriteSizedWaveHeader(ExclusiveFile& file, uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample,
                          uint64_t dataBytes);

// Sizes known only at the end: 44 zero bytes first, the data after them
// (counted by the writer), and at the end the real header over the
// placeholder. Patching leaves the file position where it was. A writer
// that stops early skips the patch, so its file starts with 44 zeros.
bool WriteWaveHeaderPlaceholder(ExclusiveFile& file);
bool PatchWaveHeader(ExclusiveFile& file, const WaveHeader& header);

// "PCM Wave Stereo 16Bit 44100Hz", "Float Wave Stereo 32Bit 48000Hz", "PCM
// Wave 6Ch 24Bit 48000Hz" for more channels the engines convert, or the
// error text.
std::string DescribeWaveFile(const std::string& path);

}  // namespace zelph
