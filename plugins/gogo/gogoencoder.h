#pragma once
// One GoGo encoding from MPGE_detectConfigure to its end: the configuration
// the codes built, and the encoder that reads the WAV and writes the MP3.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugins/gogo/gogointerface.h"
#include "plugins/mp3enc/cfile.h"
#include "plugins/mp3enc/lamesetup.h"
#include "plugins/mp3enc/wavchunks.h"

namespace zelph::mp3enc {

struct GoGoConfig {
    std::string inputPath;
    std::string outputPath;
    std::optional<UPARAM> mode;  // MC_MODE_*; unset: LAME picks
    int bitrate = 0;
    int inputRate = 0;           // 0: the WAV header's
    int outputRate = 0;          // 0: LAME picks
    bool psychoAcoustics = true;
    bool lowPass16 = false;
    bool require8Bit = false;
    bool requireMono = false;
    int emphasis = 0;
    int quality = -1;            // -1: LAME's default
    bool abr = false;
    std::optional<int> vbrLevel;
    int vbrMinBitrate = 0;
    int vbrMaxBitrate = 0;

    // ME_NOERR, or the error for the first code that was refused.
    MERET Set(UPARAM code, UPARAM first, UPARAM second);
};

class GoGoEncoder {
public:
    struct Opened;
    // Checks the configuration, opens the WAV, sets up LAME and only then
    // creates the MP3, so a refused job leaves no target behind.
    static Opened Open(const GoGoConfig& config);

    // Calls of ProcessFrame that return ME_NOERR.
    uint32_t FrameCount() const { return frameCount_; }
    MERET ProcessFrame();

private:
    GoGoEncoder() = default;
    MERET Finish();

    FilePtr wav_;
    FilePtr mp3_;
    LamePtr lame_;
    WavLayout layout_;
    uint64_t remaining_ = 0;
    std::size_t bytesPerCall_ = 0;
    uint32_t frameCount_ = 0;
    std::optional<MERET> end_;  // the result every call returns once the input is used up
    std::vector<uint8_t> raw_;
    std::vector<int16_t> pcm_;
    std::vector<uint8_t> mp3Buffer_;
};

struct GoGoEncoder::Opened {
    MERET result = ME_INTERNALERROR;
    std::unique_ptr<GoGoEncoder> encoder;
};

}  // namespace zelph::mp3enc
