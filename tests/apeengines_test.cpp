#include <gtest/gtest.h>

#include "codecs/apeengines.h"
#include "core/targets.h"
#include "formats/probes.h"
#include "formats/waveheader.h"
#include "settings/settings.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

using namespace zelph;
using namespace zelph::test;

namespace {

struct Form {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    const char* description;
    const char* ffmpegFormat;
};
constexpr Form kStereo16{2, 44100, 16, "MonkeysAudio Stereo 16Bit 44100Hz", "s16le"};
constexpr Form kMono8{1, 22050, 8, "MonkeysAudio Mono 8Bit 22050Hz", "u8"};

// Tones over pink noise, as the form's WAV holds them: enough structure for
// the predictor, enough noise that every frame carries real bits.
std::string Music(const Form& form, std::size_t frames) {
    const std::string encoding = form.bits == 8 ? " -e unsigned" : " -e signed -L";
    return RunCommand("sox -r " + std::to_string(form.rate) + " -c " + std::to_string(form.channels) + " -n -b " +
                      std::to_string(form.bits) + encoding + " -t raw - synth " + std::to_string(frames) +
                      "s sine 220 sine 331 synth pinknoise mix vol 0.5").out;
}

std::string Wav(const Form& form, const std::string& pcm, const std::string& trailer = "") {
    return CraftedWav(form.channels, form.rate, form.bits, pcm, trailer);
}

ApeSettings Level(int index) {
    ApeSettings s{};
    s.compressionIndex = index;
    s.compressionLevel = (index + 1) * 1000;
    s.pcm = {WavChannels::kStereo, WavSampleSize::k16Bit};
    return s;
}

// FFmpeg's decode of `path`: the independent check of every file we write.
std::string FfmpegPcm(const std::string& path, const char* format = "s16le") {
    return RunCommand(std::string("ffmpeg -v error -i '") + path + "' -f " + format + " -").out;
}

// The compression level stands in the header after the 52-byte descriptor.
int LevelInFile(const std::string& ape) {
    return static_cast<uint8_t>(ape.at(52)) | static_cast<uint8_t>(ape.at(53)) << 8;
}

}  // namespace

TEST(ApeEngines, EveryLevelRoundTripsAndIsDescribedAndDecodedByFfmpeg) {
    ScratchDir dir;
    for (const Form& form : {kStereo16, kMono8}) {
        const std::string pcm = Music(form, form.rate);
        WriteFile(dir / "in.wav", Wav(form, pcm));
        for (int index = 0; index < 5; ++index) {
            SCOPED_TRACE(std::string(form.description) + ", level index " + std::to_string(index));
            ApeSettings settings = Level(index);
            const EngineResult encoded = RunEngine(EncodeApe, dir / "in.wav", dir / "out.ape", &settings, {.progressStart = 40, .progressSpan = 60});
            ExpectEnded(encoded, true);
            const std::string ape = ReadFile(dir / "out.ape");
            EXPECT_EQ(LevelInFile(ape), (index + 1) * 1000);
            EXPECT_EQ(DescribeAudioFile(dir / "out.ape").text, form.description);
            EXPECT_TRUE(FfmpegPcm(dir / "out.ape", form.ffmpegFormat) == pcm);

            ExpectEnded(RunEngine(DecodeApe, dir / "out.ape", dir / "back.wav", {}, {.progressSpan = 30}), true, 30);
            EXPECT_TRUE(ReadFile(dir / "back.wav") == Wav(form, pcm)) << "header and samples as the source's";
        }
    }
}

TEST(ApeEngines, DecodedHeaderIsWrittenFirstAndAStopLeavesItPromisingMore) {
    ScratchDir dir;
    ApeSettings fast = Level(0);
    WriteFile(dir / "in.wav", Wav(kStereo16, Music(kStereo16, 441000)));
    ASSERT_TRUE(RunEngine(EncodeApe, dir / "in.wav", dir / "ten.ape", &fast).succeeded);

    ExpectEnded(RunEngine(DecodeApe, dir / "ten.ape", dir / "out.wav", {}, {.stop = true}), false);
    const std::string out = ReadFile(dir / "out.wav");
    const WaveHeader h = HeaderOf(out);
    EXPECT_EQ(h.dataSize, 1764000u);
    EXPECT_EQ(h.blockAlign, 4);
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.sampleRate, 44100u);
    EXPECT_EQ(out.size(), 44u + 1024 * 4) << "one block of 1024 frames, then the stop";
}

TEST(ApeEngines, EncoderCompressesTheDataChunkAloneAndAStopStillFinishesTheFile) {
    ScratchDir dir;
    ApeSettings normal = Level(1);
    const std::string pcm = Music(kStereo16, 375);  // 1500 bytes: a full call and a short one
    WriteFile(dir / "tagged.wav", Wav(kStereo16, pcm, "LIST" + std::string("\x5c\0\0\0", 4) + std::string(92, 'x')));
    EXPECT_TRUE(RunEngine(EncodeApe, dir / "tagged.wav", dir / "tagged.ape", &normal).succeeded);
    EXPECT_TRUE(FfmpegPcm(dir / "tagged.ape") == pcm) << "the trailing chunk is not audio";

    const std::string longer = Music(kStereo16, 4096);
    WriteFile(dir / "long.wav", Wav(kStereo16, longer));
    ExpectEnded(RunEngine(EncodeApe, dir / "long.wav", dir / "stopped.ape", &normal, {.stop = true}), false);
    EXPECT_TRUE(FfmpegPcm(dir / "stopped.ape") == longer.substr(0, 1024)) << "what was added before the stop";
}

TEST(ApeEngines, DamagedOrCutSourceFailsTheDecode) {
    ScratchDir dir;
    ApeSettings normal = Level(1);
    WriteFile(dir / "in.wav", Wav(kStereo16, Music(kStereo16, 3 * 44100)));
    ASSERT_TRUE(RunEngine(EncodeApe, dir / "in.wav", dir / "good.ape", &normal).succeeded);
    const std::string good = ReadFile(dir / "good.ape");

    std::string damaged = good;
    damaged[damaged.size() / 2] ^= 0x10;
    WriteFile(dir / "damaged.ape", damaged);
    ExpectEnded(RunEngine(DecodeApe, dir / "damaged.ape", dir / "out.wav", {}), false);

    WriteFile(dir / "cut.ape", good.substr(0, good.size() * 2 / 3));
    EXPECT_FALSE(RunEngine(DecodeApe, dir / "cut.ape", dir / "out.wav", {}).succeeded);
    EXPECT_TRUE(RunEngine(DecodeApe, dir / "good.ape", dir / "out.wav", {}).succeeded) << "the intact file decodes";
}
