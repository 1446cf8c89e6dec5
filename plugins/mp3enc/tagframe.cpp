#include "plugins/mp3enc/tagframe.h"

#include <array>

namespace zelph::mp3enc {

std::vector<uint8_t> FinishedTagFrame(lame_global_flags* lame) {
    if (!lame_get_bWriteVbrTag(lame)) return {};
    std::vector<uint8_t> tag(lame_get_lametag_frame(lame, nullptr, 0));
    if (tag.empty()) return {};
    tag.resize(lame_get_lametag_frame(lame, tag.data(), tag.size()));
    return tag;
}

int Layer3FrameLength(const uint8_t h[4]) {
    static constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    static constexpr int kMpeg1Kbps[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr int kMpeg2Kbps[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
    const int versionBits = (h[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
    const int layerBits = (h[1] >> 1) & 3;    // 1: layer III
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (versionBits == 1 || layerBits != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
    const bool mpeg1 = versionBits == 3;
    const int rate = kRates[mpeg1 ? 0 : versionBits == 2 ? 1 : 2][rateIndex];
    const int kbps = (mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[bitrateIndex];
    const int padding = (h[2] >> 1) & 1;
    return (mpeg1 ? 144000 : 72000) * kbps / rate + padding;
}

namespace {

// Offset of the first byte after an ID3v2 tag at the start, or 0.
long AudioStart(std::FILE* mp3) {
    std::array<uint8_t, 10> id3{};
    if (std::fseek(mp3, 0, SEEK_SET) != 0 || std::fread(id3.data(), 1, id3.size(), mp3) != id3.size()) return 0;
    if (id3[0] != 'I' || id3[1] != 'D' || id3[2] != '3') return 0;
    long size = 0;
    for (int i = 6; i < 10; ++i) size = (size << 7) | (id3[i] & 0x7F);
    const bool footer = id3[5] & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

}  // namespace

bool WriteTagFrame(std::FILE* mp3, const std::vector<uint8_t>& tag) {
    if (tag.size() < 4) return false;
    const long start = AudioStart(mp3);
    uint8_t header[4];
    if (std::fseek(mp3, start, SEEK_SET) != 0 || std::fread(header, 1, 4, mp3) != 4) return false;
    if (Layer3FrameLength(header) != static_cast<int>(tag.size())) return false;
    return std::fseek(mp3, start, SEEK_SET) == 0 && std::fwrite(tag.data(), 1, tag.size(), mp3) == tag.size() &&
           std::fflush(mp3) == 0;
}

}  // namespace zelph::mp3enc
