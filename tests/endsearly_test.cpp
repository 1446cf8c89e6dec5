// Sources cut to part of the length their own header states, through the
// command-line program: each converts what it holds, is "Done" with the
// shortfall told, and is never deleted; the same files whole are deleted
// without a word.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

constexpr double kSeconds = 8.0;

// Each format made from the same 8 s of tones by its usual tool (Monkey's
// Audio by the program itself); every one states its length in its header.
struct StatedFormat {
    const char* extension;
    const char* make;  // from in.wav to a.EXT, in the scratch folder
    double frame;      // seconds of its largest frame: a cut file keeps its whole frames
};
const StatedFormat kFormats[] = {
    {"mp3", "lame --quiet -b 128 in.wav a.mp3", 0.03},  // an Info frame with LAME's gapless fields
    {"wav", "cp in.wav a.wav", 0.0},
    {"flac", "flac -s in.wav -o a.flac", 0.1},
    {"ape", "$CONVERT --quiet --target ape in.wav && mv in.ape a.ape", 73728 / 44100.0},
};

std::string ConvertCommand(const ScratchDir& dir, const std::string& args) {
    return "cd '" + dir.path() + "' && " + BinDir() + "/zelph-convert --quiet " + args;
}

TEST(SourcesThatEndEarly, ConvertWhatIsThereAreToldAndKept) {
    for (const StatedFormat& format : kFormats) {
        const std::string ext = format.extension;
        SCOPED_TRACE(ext);
        ScratchDir dir;
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && sox -n -r 44100 -c 2 -b 16 in.wav synth " +
                             std::to_string(kSeconds) + " sine 440 sine 660 vol 0.5 && CONVERT=" + BinDir() +
                             "/zelph-convert && " + format.make).status, 0);
        const std::string whole = ReadFile(dir / ("a." + ext));
        WriteFile(dir / ("half." + ext), whole.substr(0, whole.size() / 2));
        std::filesystem::create_directory(dir / "out");

        const auto run = RunCommand(ConvertCommand(dir, "--delete-source --target wav --output-dir out a." + ext +
                                                            " half." + ext));
        EXPECT_EQ(run.status, 1) << "a source had to stay";
        EXPECT_NE(run.out.find("Done\ta." + ext + "\n"), std::string::npos) << run.out;
        EXPECT_FALSE(Exists(dir / ("a." + ext))) << "a whole source goes";
        EXPECT_TRUE(Exists(dir / ("half." + ext)));

        double decoded = 0, stated = 0;
        const std::string line = "Done\thalf." + ext + "\tsource ends early: ";
        const auto at = run.out.find(line);
        ASSERT_NE(at, std::string::npos) << run.out;
        ASSERT_EQ(std::sscanf(run.out.c_str() + at + line.size(), "%lf of %lf s\n", &decoded, &stated), 2) << run.out;
        EXPECT_NEAR(stated, kSeconds, 0.01);
        // Half the bytes hold about half the audio; the frame the cut goes through is lost.
        EXPECT_GT(decoded, kSeconds / 2 - format.frame - 0.1);
        EXPECT_LT(decoded, kSeconds / 2 + 0.1);
        EXPECT_NEAR(DecodedSeconds(dir / "out/half.wav"), decoded, 0.01) << "what was told is what was written";
    }
}

TEST(SourcesThatEndEarly, AnMp3OfTagsAloneFails) {
    ScratchDir dir;
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && touch tags.mp3 && id3v2 -t Title -a Artist tags.mp3 && "
                         "id3v2 -1 -t Title tags.mp3").status, 0);
    const auto run = RunCommand(ConvertCommand(dir, "--delete-source --target wav tags.mp3"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error Occured\ttags.mp3\tnot an MPEG audio stream\n");
    EXPECT_TRUE(Exists(dir / "tags.mp3"));
}

}  // namespace
}  // namespace zelph::test
