#include "settings/valuelists.h"

#include <cstdio>

namespace zelph {

int ValueList::Find(double value) const {
    for (int i = 0; i < size(); ++i)
        if (static_cast<float>(values[i]) == static_cast<float>(value)) return i;
    return -1;
}

std::string ValueList::Label(int position) const {
    if (!labels.empty()) return labels[position];
    char text[32];
    std::snprintf(text, sizeof text, "%g", values[position]);
    return text;
}

namespace {

constexpr double kBladeBitrateValues[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr double kMpeg1RateValues[] = {32000, 44100, 48000};
constexpr double kMp3BitrateValues[] = {8,  16,  24,  32,  40,  48,  56,  64, 80,
                                        96, 112, 128, 160, 192, 224, 256, 320};
constexpr double kLameRateValues[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr double kOggBitrateValues[] = {48, 64, 80, 96, 112, 128, 160, 192, 224, 256, 350, 500};
constexpr double kOggRateValues[] = {8000, 12000, 16000, 24000, 32000, 44100, 48000};
constexpr double kApeLevelValues[] = {1000, 2000, 3000, 4000, 5000};
constexpr const char* kApeLevelLabels[] = {"Fast", "Normal", "High", "Extra High", "Insane"};
constexpr double kEmphasisValues[] = {0, 1, 3};
constexpr const char* kEmphasisLabels[] = {"None", "50/15ms", "CCITT"};
constexpr double kVbrMethodValues[] = {-1, 0, 1, 2, 3, 4};
constexpr const char* kVbrMethodLabels[] = {"None", "Default", "Old", "New", "MTRH", "ABR"};
constexpr double kPresetValues[] = {-1,   0,    1,    2,    3,    4,    1000, 2000,
                                    3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000};
constexpr const char* kPresetLabels[] = {"None",  "Normal", "Low",   "High", "Voice", "R3mix",
                                         "Phone", "SW",     "AM",    "FM",   "Voice1", "Radio",
                                         "Tape",  "HIFI",   "CD",    "Studio"};
constexpr double kOggQualityValues[] = {1.0, 0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.1};

}  // namespace

const ValueList kBladeBitrates{kBladeBitrateValues, {}};
const ValueList kMpeg1SampleRates{kMpeg1RateValues, {}};
const ValueList kMp3Bitrates{kMp3BitrateValues, {}};
const ValueList kLameResampleRates{kLameRateValues, {}};
const ValueList kOggBitrates{kOggBitrateValues, {}};
const ValueList kOggResampleRates{kOggRateValues, {}};
const ValueList kApeCompressionLevels{kApeLevelValues, kApeLevelLabels};
const ValueList kGoGoEmphases{kEmphasisValues, kEmphasisLabels};
const ValueList kLameVbrMethods{kVbrMethodValues, kVbrMethodLabels};
const ValueList kLamePresets{kPresetValues, kPresetLabels};
const ValueList kOggQualities{kOggQualityValues, {}};

}  // namespace zelph
