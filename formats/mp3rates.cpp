#include "formats/mp3rates.h"

#include <algorithm>
#include <cstdlib>
#include <span>

namespace zelph {
namespace {

constexpr uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kMpeg1Bitrates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg2Bitrates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

// MPEG-2.5's frames could hold more, but LAME encodes them at 64 kbit/s at most.
std::span<const int> BitratesAt(uint32_t hz) {
    if (hz >= 32000) return kMpeg1Bitrates;
    return hz >= 16000 ? std::span<const int>(kMpeg2Bitrates) : std::span<const int>(kMpeg2Bitrates).first(8);
}

bool Holds(std::span<const int> list, int kbps) { return std::find(list.begin(), list.end(), kbps) != list.end(); }

}  // namespace

bool IsMp3Rate(uint32_t hz) { return std::find(std::begin(kRates), std::end(kRates), hz) != std::end(kRates); }

bool IsMpeg1Rate(uint32_t hz) { return IsMp3Rate(hz) && hz >= 32000; }

bool IsMp3Bitrate(int kbps) { return Holds(kMpeg1Bitrates, kbps) || Holds(kMpeg2Bitrates, kbps); }

bool CarriesBitrate(uint32_t hz, int kbps) { return Holds(BitratesAt(hz), kbps); }

uint32_t Mp3RateFor(uint32_t hz) {
    const auto* at = std::lower_bound(std::begin(kRates), std::end(kRates), hz);
    return at == std::end(kRates) ? kRates[std::size(kRates) - 1] : *at;
}

int NearestMp3Bitrate(uint32_t hz, int kbps) {
    if (kbps == 0) return 0;
    const std::span<const int> list = BitratesAt(hz);
    return *std::min_element(list.begin(), list.end(),
                             [kbps](int a, int b) { return std::abs(a - kbps) < std::abs(b - kbps); });
}

std::string Mp3StreamProblem(uint32_t hz, bool mpeg1, int kbps) {
    const std::string rate = std::to_string(hz) + " Hz";
    if (mpeg1 && !IsMpeg1Rate(hz)) return "MPEG-1 frames cannot carry " + rate + " (32000, 44100 or 48000 Hz)";
    if (!IsMp3Rate(hz))
        return "MP3 frames cannot carry " + rate + " (8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 or 48000 Hz)";
    if (kbps != 0 && (kbps < 8 || kbps > 320))
        return "a bitrate of " + std::to_string(kbps) + " kbit/s (MP3 frames carry 8 to 320)";
    return "";
}

}  // namespace zelph
