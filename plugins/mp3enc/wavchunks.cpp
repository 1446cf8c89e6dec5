#include "plugins/mp3enc/wavchunks.h"

#include "formats/pcmlimits.h"
#include "formats/waveheader.h"

namespace zelph::mp3enc {

// The project's own RIFF reader does the chunk walking; this only adds the
// checks an encoder needs before it trusts the format.
std::optional<WavLayout> ReadWavLayout(std::FILE* wav) {
    const int fd = ::fileno(wav);
    WaveFormat format;
    if (fd < 0) return std::nullopt;
    const uint32_t dataOffset = ReadWaveHeader(fd, format);
    const WaveHeader& header = format.header;
    if (dataOffset == 0 || !IsPcmFormat(header)) return std::nullopt;

    WavLayout layout;
    layout.channels = header.channels;
    layout.sampleRate = header.sampleRate;
    layout.bitsPerSample = header.bitsPerSample;
    layout.blockAlign = header.blockAlign;
    layout.dataOffset = dataOffset;
    layout.dataSize = format.audioBytes;
    return layout;
}

}  // namespace zelph::mp3enc
