#include "plugins/mp3enc/wavchunks.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/bytereader.h"

namespace zelph::mp3enc {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM as stored: 00000001-0000-0010-8000-00AA00389B71.
constexpr std::array<uint8_t, 16> kPcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool ReadAt(std::FILE* file, uint64_t offset, void* out, std::size_t size) {
    return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, size, file) == size;
}

std::optional<uint64_t> FileSize(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return std::nullopt;
    const long size = std::ftell(file);
    if (size < 0) return std::nullopt;
    return static_cast<uint64_t>(size);
}

bool ParseFormat(std::span<const uint8_t> bytes, WavLayout& layout) {
    ByteReader in(bytes);
    const uint16_t tag = in.U16();
    layout.channels = in.U16();
    layout.sampleRate = in.U32();
    in.Skip(4);  // bytes per second follow from the rest
    layout.blockAlign = in.U16();
    layout.bitsPerSample = in.U16();
    if (!in.ok()) return false;
    if (tag == kFormatExtensible) {
        const uint16_t extraSize = in.U16();
        in.Skip(6);  // valid bits, channel mask
        const auto subFormat = in.Bytes(kPcmSubFormat.size());
        if (!in.ok() || extraSize < 22 || std::memcmp(subFormat.data(), kPcmSubFormat.data(), kPcmSubFormat.size()) != 0)
            return false;
    } else if (tag != kFormatPcm) {
        return false;
    }
    const int bytesPerSample = (layout.bitsPerSample + 7) / 8;
    return layout.channels > 0 && layout.sampleRate > 0 && bytesPerSample > 0 &&
           layout.blockAlign == layout.channels * bytesPerSample;
}

}  // namespace

std::optional<WavLayout> ReadWavLayout(std::FILE* wav) {
    const auto fileSize = FileSize(wav);
    std::array<uint8_t, 12> riff{};
    if (!fileSize || !ReadAt(wav, 0, riff.data(), riff.size())) return std::nullopt;
    ByteReader riffReader(riff);
    if (!riffReader.Tag("RIFF") || !riffReader.Skip(4) || !riffReader.Tag("WAVE")) return std::nullopt;

    WavLayout layout;
    bool haveFormat = false;
    for (uint64_t pos = 12; pos + 8 <= *fileSize;) {
        std::array<uint8_t, 8> header{};
        if (!ReadAt(wav, pos, header.data(), header.size())) return std::nullopt;
        ByteReader chunk(header);
        const auto id = chunk.Bytes(4);
        const std::string_view name(reinterpret_cast<const char*>(id.data()), id.size());
        const uint64_t size = chunk.U32();
        const uint64_t body = pos + 8;
        const uint64_t available = *fileSize - body;

        if (name == "fmt ") {
            std::vector<uint8_t> bytes(static_cast<std::size_t>(std::min<uint64_t>({size, available, 40})));
            if (!ReadAt(wav, body, bytes.data(), bytes.size()) || !ParseFormat(bytes, layout)) return std::nullopt;
            haveFormat = true;
        } else if (name == "data") {
            if (!haveFormat) return std::nullopt;
            layout.dataOffset = body;
            layout.dataSize = std::min(size, available);
            return layout;
        }
        pos = body + size + (size & 1);
    }
    return std::nullopt;
}

}  // namespace zelph::mp3enc
