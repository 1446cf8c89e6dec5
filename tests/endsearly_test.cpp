// Sources cut to part of the length their own header states, through the
// command-line program: each converts what it holds, is "Done" with the
// shortfall told, and is never deleted; the same files whole are deleted
// without a word.

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

// Each format made from the same 8 s of tones by its usual tool (Monkey's
// Audio by the program itself), every one stating its length in its header,
// and the seconds of its largest frame: a cut file keeps its whole frames.
const std::tuple<std::string, std::string, double> kFormats[] = {
    {"mp3", "lame --quiet -b 128 in.wav a.mp3", 0.03},  // an Info frame with LAME's gapless fields
    {"wav", "cp in.wav a.wav", 0.0},
    {"flac", "flac -s in.wav -o a.flac", 0.1},
    {"ape", "$CONVERT --target ape in.wav && mv in.ape a.ape", 73728 / 44100.0},
};

TEST(SourcesThatEndEarly, ConvertWhatIsThereAreToldAndKept) {
    for (const auto& [ext, make, frame] : kFormats) {
        SCOPED_TRACE(ext);
        ScratchDir dir;
        const std::string here = "cd '" + dir.path() + "' && CONVERT='" + BinDir() + "/zelph-convert --quiet' && ";
        ASSERT_EQ(RunCommand(here + "sox -n -r 44100 -c 2 -b 16 in.wav synth 8 sine 440 sine 660 vol 0.5 && " + make +
                             " && head -c $(($(stat -c %s a." + ext + ") / 2)) a." + ext + " > half." + ext).status, 0);
        const auto run = RunCommand(here + "mkdir out && $CONVERT --delete-source --target wav --output-dir out a." +
                                    ext + " half." + ext);
        EXPECT_EQ(run.status, 1) << "a source had to stay";
        EXPECT_NE(run.out.find("Done\ta." + ext + "\n"), std::string::npos) << run.out;
        EXPECT_FALSE(Exists(dir / ("a." + ext))) << "a whole source goes";
        EXPECT_TRUE(Exists(dir / ("half." + ext)));

        double decoded = 0, stated = 0;
        const std::string line = "Done\thalf." + ext + "\tsource ends early: ";
        const auto at = run.out.find(line);
        ASSERT_NE(at, std::string::npos) << run.out;
        ASSERT_EQ(std::sscanf(run.out.c_str() + at + line.size(), "%lf of %lf s\n", &decoded, &stated), 2) << run.out;
        EXPECT_NEAR(stated, 8.0, 0.01);
        // Half the bytes hold about half the audio; the frame the cut goes through is lost.
        EXPECT_GT(decoded, 4.0 - frame - 0.1);
        EXPECT_LT(decoded, 4.0 + 0.1);
        EXPECT_NEAR(DecodedSeconds(dir / "out/half.wav"), decoded, 0.01) << "what was told is what was written";
    }
}

}  // namespace
}  // namespace zelph::test
