// The FLAC target, judged by the flac tool itself: `flac -t` accepts every
// output and `flac -d` gives back the source's samples bit for bit, from the
// engine alone and through zelph-convert with its WAV stage.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "codecs/flacencoder.h"
#include "settings/tuning.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

// Tones plus a little noise, so that every predictor order has work to do.
std::string Source(const ScratchDir& dir, const std::string& name, int rate, int channels, int bits, double seconds) {
    std::string synth = " synth " + std::to_string(seconds);
    for (int c = 0; c < channels; ++c) synth += " sine " + std::to_string(200 + 170 * c);
    const std::string path = dir / name;
    RunCommand("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " +
               std::to_string(bits) + " " + path + synth + " vol 0.4 dither");
    return path;
}

bool FlacAccepts(const std::string& flac) { return RunCommand("flac -s -t " + flac + " 2>&1").status == 0; }

// Signed little-endian samples as flac decodes them and as sox reads the source.
std::string FlacSamples(const ScratchDir& dir, const std::string& flac) {
    RunCommand("flac -s -d -f --force-raw-format --endian=little --sign=signed " + flac + " -o " + dir / "dec.raw");
    return ReadFile(dir / "dec.raw");
}
std::string SourceSamples(const ScratchDir& dir, const std::string& wav) {
    RunCommand("sox " + wav + " -t raw -e signed -L " + dir / "src.raw");
    return ReadFile(dir / "src.raw");
}

std::string StreamInfo(const std::string& flac) {
    return RunCommand("metaflac --show-channels --show-bps --show-sample-rate --show-total-samples " + flac).out;
}

TEST(FlacTarget, EverySourceFormIsKeptBitForBit) {
    // Bits, channels, rate.
    const std::tuple<int, int, int> forms[] = {{8, 1, 8000},   {8, 2, 22050},  {16, 1, 44100}, {16, 2, 48000},
                                               {16, 3, 32000}, {24, 2, 96000}, {24, 4, 44100}, {24, 6, 48000},
                                               {16, 6, 192000}, {24, 5, 88200}};
    for (const auto& [bits, channels, rate] : forms) {
        SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels, " << rate);
        ScratchDir dir;
        const std::string wav = Source(dir, "in.wav", rate, channels, bits, 0.7);
        EXPECT_EQ(ConvertAll("flac", dir / "out", wav), "Done\t" + wav + "\n");
        const std::string flac = dir / "out/in.flac";
        EXPECT_TRUE(FlacAccepts(flac));
        EXPECT_EQ(StreamInfo(flac), std::to_string(channels) + "\n" + std::to_string(bits) + "\n" +
                                        std::to_string(rate) + "\n" + std::to_string(rate * 7 / 10) + "\n");
        const std::string source = SourceSamples(dir, wav);
        ASSERT_FALSE(source.empty());
        EXPECT_TRUE(FlacSamples(dir, flac) == source) << "the decoded samples differ from the source";
        // The source lent its file to the WAV stage; nothing else is left.
        EXPECT_EQ(RunCommand("ls " + dir / "out").out, "in.flac\n");
        EXPECT_EQ(std::filesystem::hard_link_count(wav), 1u);
    }
}

TEST(FlacTarget, TheReduceOptionsBringTheInputDown) {
    ScratchDir dir;
    const std::string wav = Source(dir, "in.wav", 96000, 6, 24, 0.5);
    EXPECT_EQ(ConvertAll("flac --set flac.channels=2 --set flac.sampleSize=2", dir / "out", wav),
              "Done\t" + wav + "\n");
    EXPECT_EQ(StreamInfo(dir / "out/in.flac"), "2\n16\n96000\n48000\n");
    EXPECT_EQ(ConvertAll("flac --set flac.channels=1", dir / "out", wav), "Done\t" + wav + "\n");
    EXPECT_EQ(StreamInfo(dir / "out/in.flac"), "1\n16\n96000\n48000\n");
    EXPECT_TRUE(FlacAccepts(dir / "out/in.flac"));
}

TEST(FlacEncoder, EveryLevelWithAndWithoutVerify) {
    ScratchDir dir;
    const std::string wav = Source(dir, "in.wav", 44100, 2, 16, 2.0);
    const std::string source = SourceSamples(dir, wav);
    long fastest = 0, smallest = 0;
    for (int level = 0; level <= 8; ++level) {
        std::string withoutVerify;
        for (bool verify : {false, true}) {
            SCOPED_TRACE(testing::Message() << "level " << level << (verify ? ", verify" : ""));
            FlacSettings settings{.level = level, .verify = verify};
            const std::string flac = dir / "out.flac";
            ExpectEnded(RunEngine(EncodeFlac, wav, flac, &settings), true);
            EXPECT_TRUE(FlacAccepts(flac));
            EXPECT_TRUE(FlacSamples(dir, flac) == source);
            // The verify pass checks the stream; it never changes it.
            if (verify) { EXPECT_TRUE(ReadFile(flac) == withoutVerify); }
            withoutVerify = ReadFile(flac);
        }
        const long size = static_cast<long>(withoutVerify.size());
        if (level == 0) fastest = size;
        if (level == 8) smallest = size;
    }
    EXPECT_LT(smallest, fastest) << "level 8 compresses better than level 0";
    // The stream's MD5 is that of the source's samples.
    EXPECT_EQ(RunCommand("metaflac --show-md5sum " + dir / "out.flac").out,
              RunCommand("md5sum < " + dir / "src.raw" + " | cut -c1-32").out);
}

TEST(FlacEncoder, FailsWithItsReason) {
    ScratchDir dir;
    const std::string wav = Source(dir, "in.wav", 44100, 2, 16, 1.0);
    // A float WAV is not the engine's input (the WAV stage brings it to PCM).
    RunCommand("sox " + wav + " -e floating-point -b 32 " + dir / "float.wav");
    FlacSettings settings, level9{.level = 9};
    EXPECT_EQ(RunEngine(EncodeFlac, dir / "float.wav", dir / "f.flac", &settings).reason,
              "the source could not be read as a PCM WAV file");
    EXPECT_EQ(RunEngine(EncodeFlac, wav, dir / "bad.flac", &level9).reason, "the FLAC settings are out of range");
}

}  // namespace
}  // namespace zelph::test
