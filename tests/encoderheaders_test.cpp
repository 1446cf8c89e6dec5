// Every encoder engine given a WAV whose header holds values no encoder can
// take: each must end without success, without having created its target,
// and without crashing or writing without end (a file size limit turns an
// endless writer into a quick failure of this test instead of a hang).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/apeengines.h"
#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "codecs/oggencoder.h"
#include "settings/settings.h"
#include "tests/support/enginecheck.h"
#include "tests/support/mp3check.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

struct Field {
    const char* name;
    std::size_t offset;
    uint32_t value;
    int width;
};

// Offsets in the canonical 44-byte header.
constexpr Field kImpossible[] = {
    {"rate 0", 24, 0, 4},           {"rate 1 Hz", 24, 1, 4},          {"rate 999 Hz", 24, 999, 4},
    {"rate 768001 Hz", 24, 768001, 4}, {"rate 0xFFFFFFFF", 24, 0xFFFFFFFFu, 4}, {"0 channels", 22, 0, 2},
    {"block align 0", 32, 0, 2},    {"block align 0xFFFF", 32, 0xFFFF, 2}, {"block align 3", 32, 3, 2},
    {"0 bits", 34, 0, 2},
};

struct Engine {
    const char* name;
    EngineProc proc;
    EngineSettings settings;
};

class EncoderHeaders : public ::testing::Test {
protected:
    EncoderHeaders() { ApplyDefaults(settings, dir.path()); }

    std::vector<Engine> Engines() {
        return {{"LAME", EncodeMp3Lame, &settings.lame},   {"Blade", EncodeMp3Blade, &settings.blade},
                {"GoGo", EncodeMp3GoGo, &settings.gogo},   {"Ogg", EncodeOggVorbis, &settings.ogg},
                {"APE", EncodeApe, &settings.ape}};
    }

    ScratchDir dir;
    ConverterSettings settings{};
    const std::string wav = WavFile(SineSweep(44100, 2, 0.5), 44100, 2);
};

TEST_F(EncoderHeaders, ImpossibleValuesFailEveryEncoderBeforeItWrites) {
    for (const Engine& engine : Engines()) {
        for (const Field& field : kImpossible) {
            std::string bad = wav;
            std::memcpy(&bad[field.offset], &field.value, static_cast<std::size_t>(field.width));
            WriteFile(dir / "in.wav", bad);
            const std::string target = dir / "out";
            const EngineResult result = WithFileSizeLimit(
                8u << 20, [&] { return RunEngine(engine.proc, dir / "in.wav", target, engine.settings); });
            EXPECT_EQ(result.succeeded, 0) << engine.name << ", " << field.name;
            EXPECT_EQ(result.running, 0) << engine.name << ", " << field.name;
            EXPECT_FALSE(Exists(target)) << engine.name << ", " << field.name;
            std::remove(target.c_str());
        }
        // The same file with its true header converts, so the refusals above
        // are the header's doing.
        WriteFile(dir / "in.wav", wav);
        EXPECT_EQ(RunEngine(engine.proc, dir / "in.wav", dir / "good", engine.settings).succeeded, 1) << engine.name;
        EXPECT_GT(ReadFile(dir / "good").size(), 1000u) << engine.name;
        std::remove((dir / "good").c_str());
    }
}

}  // namespace
}  // namespace zelph::test
