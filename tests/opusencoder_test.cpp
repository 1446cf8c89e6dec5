// The Opus target, judged by opus-tools: opusinfo accepts every output,
// opusdec gives the source's exact length at 48 kHz, and the bit rate
// follows the setting in each mode (in CBR with packets of one size).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "codecs/opusencoder.h"
#include "settings/tuning.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

// Tones over pink noise: audio an encoder cannot make trivially small.
std::string Music(const ScratchDir& dir, const std::string& name, int rate, int channels, double seconds,
                  int bits = 16) {
    const std::string path = dir / name;
    RunCommand("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " +
               std::to_string(bits) + " " + path + " synth " + std::to_string(seconds) +
               " sine 220 sine 330 synth pinknoise mix vol 0.5");
    return path;
}

long Frames(const std::string& wav) { return std::atol(RunCommand("soxi -s " + wav).out.c_str()); }

// The frames opusdec decodes at 48 kHz, or -1 when it refuses the file.
long DecodedFrames(const ScratchDir& dir, const std::string& opus) {
    if (RunCommand("opusdec --quiet --rate 48000 " + opus + " " + dir / "dec.wav" + " 2>&1").status != 0) return -1;
    return Frames(dir / "dec.wav");
}

// The share of the stream's packets that have its most common size: all of
// them in CBR, few in VBR.
double CommonPacketShare(const std::string& opus) {
    std::istringstream lines(
        RunCommand("ffprobe -v error -select_streams a -show_entries packet=size -of csv=p=0 " + opus).out);
    std::map<int, int> sizes;
    int packets = 0, most = 0;
    for (std::string line; std::getline(lines, line);)
        if (const int size = std::atoi(line.c_str()); size > 0) most = std::max(most, ++sizes[size]), ++packets;
    return packets ? double(most) / packets : 0;
}

bool OpusinfoAccepts(const std::string& opus) {
    const auto info = RunCommand("opusinfo " + opus + " 2>&1");
    return info.status == 0 && info.out.find("WARNING") == std::string::npos;
}

TEST(OpusTarget, EveryRateAndChannelCountKeepsItsExactLength) {
    // Rate, channels, bits.
    const std::tuple<int, int, int> forms[] = {{8000, 1, 16},  {11025, 2, 16}, {16000, 1, 8},  {22050, 2, 16},
                                               {44100, 2, 24}, {48000, 1, 16}, {96000, 2, 16}, {48000, 6, 24}};
    for (const auto& [rate, channels, bits] : forms) {
        SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels, " << bits);
        ScratchDir dir;
        const std::string wav = Music(dir, "in.wav", rate, channels, 1.37, bits);
        EXPECT_EQ(ConvertAll("opus", dir / "out", wav), "Done\t" + wav + "\n");
        const std::string opus = dir / "out/in.opus";
        EXPECT_TRUE(OpusinfoAccepts(opus));
        // At 48 kHz a length that falls between two samples is rounded up.
        EXPECT_EQ(DecodedFrames(dir, opus), (Frames(wav) * 48000 + rate - 1) / rate);
        // Mono stays mono; more channels are folded to stereo.
        const std::string stated = RunCommand("opusinfo " + opus + " | grep -c 'Channels: " +
                                              std::to_string(channels == 1 ? 1 : 2) + "'").out;
        EXPECT_EQ(stated, "1\n");
    }
}

TEST(OpusEncoder, EachModeHoldsTheBitRate) {
    ScratchDir dir;
    const std::string wav = Music(dir, "in.wav", 48000, 2, 8.0);
    const std::pair<OpusMode, const char*> modes[] = {
        {OpusMode::kVbr, "VBR"}, {OpusMode::kConstrainedVbr, "constrained VBR"}, {OpusMode::kCbr, "CBR"}};
    for (const auto& [mode, name] : modes) {
        for (int kbps : {64, 160}) {
            SCOPED_TRACE(testing::Message() << name << " " << kbps);
            OpusSettings settings{.bitrate = kbps, .mode = mode};
            const std::string opus = dir / "out.opus";
            const auto job = RunEngine(EncodeOpus, wav, opus, &settings);
            ASSERT_EQ(job.succeeded, 1) << job.reason;
            EXPECT_EQ(job.progress, 100);
            EXPECT_TRUE(OpusinfoAccepts(opus));
            EXPECT_EQ(DecodedFrames(dir, opus), Frames(wav));
            // The bit rate of 8 s, headers and all, within 10 % of the setting.
            EXPECT_NEAR(std::filesystem::file_size(opus) * 8 / 8.0 / 1000, kbps, kbps * 0.1);
            const double common = CommonPacketShare(opus);
            if (mode == OpusMode::kCbr) {
                EXPECT_GT(common, 0.95) << "CBR packets are of one size";
            } else if (mode == OpusMode::kVbr) {
                EXPECT_LT(common, 0.5) << "VBR packets vary";
            }
        }
    }
}

TEST(OpusEncoder, SettingsAndFailuresSayWhy) {
    ScratchDir dir;
    const std::string wav = Music(dir, "in.wav", 44100, 2, 1.0);
    OpusSettings settings{.bitrate = 5};
    EXPECT_EQ(RunEngine(EncodeOpus, wav, dir / "a.opus", &settings).reason, "the Opus settings are out of range");
    settings = {.complexity = 11};
    EXPECT_EQ(RunEngine(EncodeOpus, wav, dir / "a.opus", &settings).succeeded, 0);
    RunCommand("sox " + wav + " -b 24 " + dir / "wide.wav");
    settings = {};
    EXPECT_EQ(RunEngine(EncodeOpus, dir / "wide.wav", dir / "a.opus", &settings).reason,
              "the source could not be read as a 16-bit mono or stereo WAV file");

    // The application and complexity reach the encoder: speech at complexity
    // 0 gives another stream than music at 10.
    settings = {.bitrate = 48};
    ASSERT_EQ(RunEngine(EncodeOpus, wav, dir / "music.opus", &settings).succeeded, 1);
    settings = {.bitrate = 48, .complexity = 0, .application = OpusApplication::kSpeech};
    ASSERT_EQ(RunEngine(EncodeOpus, wav, dir / "speech.opus", &settings).succeeded, 1);
    EXPECT_EQ(DecodedFrames(dir, dir / "speech.opus"), (Frames(wav) * 48000 + 44099) / 44100);
    RunCommand("opusdec --quiet " + dir / "music.opus" + " " + dir / "m.wav");
    RunCommand("opusdec --quiet " + dir / "speech.opus" + " " + dir / "s.wav");
    EXPECT_FALSE(ReadFile(dir / "m.wav") == ReadFile(dir / "s.wav"));
}

}  // namespace
}  // namespace zelph::test
