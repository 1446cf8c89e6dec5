// The WavPack target through the command-line program: every level gives
// back 16- and 24-bit sources bit for bit, of their exact length, in wvunpack
// and FFmpeg; hybrid outputs hold their length and, with their correction
// file beside them, restore the source in wvunpack; and a correction file
// goes with its output or not at all, and not with a later one.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

constexpr const char* kForms[] = {"-r 44100 -c 2 -b 16", "-r 96000 -c 2 -b 24", "-r 8000 -c 1 -b 24",
                                  "-r 48000 -c 6 -b 16"};

std::string Wvunpack(const std::string& path, const char* options = "") {
    return std::string("wvunpack -q -y --raw ") + options + " '" + path + "' -o -";
}
std::string SoxPcmOf(const std::string& path) { return "sox '" + path + "' -t raw -"; }

// A sweep of noise and tones that no level packs to nothing, in `form`.
std::string MakeSource(const ScratchDir& dir, const std::string& form) {
    const std::string wav = dir / "in.wav";
    RunCommand("mkdir -p " + dir / "out");
    EXPECT_EQ(RunCommand("sox -n " + form + " " + wav + " synth 1.3 pinknoise synth sine amod 3 vol 0.5").status, 0);
    return wav;
}

// Names of the files in `folder` that are not the output ledger.
std::string Listing(const std::string& folder) {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename() != ".zelph-outputs") names += entry.path().filename().string() + " ";
    return names;
}

}  // namespace

TEST(WavPackTarget, EveryLevelRoundTripsBitExact) {
    ScratchDir dir;
    for (const char* form : kForms) {
        const std::string wav = MakeSource(dir, form);
        for (int level = 0; level <= 3; ++level) {
            SCOPED_TRACE(std::string(form) + ", level " + std::to_string(level));
            const std::string options = "--verify --target wavpack --set wavpack.level=" + std::to_string(level);
            ASSERT_EQ(ConvertOne(options, dir / "out", wav), "Done\t" + wav + "\n");
            const std::string wv = dir / "out/in.wv";
            EXPECT_EQ(DecodedDigest(Wvunpack(wv)), DecodedDigest(SoxPcmOf(wav)));
            EXPECT_EQ(DecodedDigest(FfmpegS32(wv)), DecodedDigest(FfmpegS32(wav)));
        }
    }
}

TEST(WavPackTarget, HybridKeepsItsLengthAndItsCorrectionFileRestoresTheSource) {
    ScratchDir dir;
    for (const char* form : {kForms[0], kForms[1]}) {
        SCOPED_TRACE(form);
        const std::string wav = MakeSource(dir, form);
        const std::string out = dir / "out";
        ASSERT_EQ(ConvertAll("wavpack --verify --set wavpack.mode=1 --set wavpack.bitrate=192", out, wav),
                  "Done\t" + wav + "\n");
        EXPECT_EQ(Listing(out), "in.wv in.wvc ");
        const std::string wv = out + "/in.wv";
        const std::string source = DecodedDigest(SoxPcmOf(wav));
        EXPECT_EQ(DecodedDigest(Wvunpack(wv)), source);
        // Alone, the .wv is lossy and as long as the source.
        const std::string lossy = DecodedDigest(Wvunpack(wv, "-i"));
        EXPECT_NE(lossy, source);
        EXPECT_EQ(lossy.substr(lossy.find('\n')), source.substr(source.find('\n')));
        EXPECT_LT(std::filesystem::file_size(wv), std::filesystem::file_size(wav) / 4);

        ASSERT_EQ(ConvertAll("wavpack --verify --set wavpack.mode=1 --set wavpack.correction=0", out, wav),
                  "Done\t" + wav + "\n");
        EXPECT_EQ(Listing(out), "in.wv ");
    }
}

TEST(WavPackTarget, ACorrectionFileGoesWithItsOutputOrNotAtAll) {
    ScratchDir dir;
    const std::string wav = MakeSource(dir, kForms[0]);
    const std::string out = dir / "out";
    const std::string hybrid = "--target wavpack --set wavpack.mode=1 ";
    // A stranger's .wvc under the name is kept, and the output is not placed without its own.
    RunCommand("echo theirs > " + out + "/in.wvc");
    EXPECT_NE(ConvertOne(hybrid, out, wav).find("in.wvc is there already and was kept"), std::string::npos);
    EXPECT_EQ(Listing(out), "in.wvc ");
    EXPECT_EQ(ReadFile(out + "/in.wvc"), "theirs\n");
    // Renamed outputs take their correction file along.
    ASSERT_EQ(RunCommand("rm " + out + "/in.wvc").status, 0);
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(RunCommand(BinDir() + "/zelph-convert --quiet --if-exists rename " + hybrid + "--output-dir " + out +
                             " " + wav)
                      .out,
                  "Done\t" + wav + "\n");
    EXPECT_EQ(DecodedDigest(Wvunpack(out + "/in(1).wv")), DecodedDigest(SoxPcmOf(wav)));
    // An output replaced by one without a correction file loses the old one,
    // which would otherwise be taken as the new one's.
    ASSERT_EQ(ConvertOne(hybrid + "--set wavpack.correction=0", out, wav), "Done\t" + wav + "\n");
    EXPECT_FALSE(Exists(out + "/in.wvc"));
    EXPECT_TRUE(Exists(out + "/in(1).wvc"));
    EXPECT_EQ(RunCommand(Wvunpack(out + "/in.wv") + " > /dev/null").status, 0);
    // A disk that fills up mid-file leaves neither file.
    RunCommand("rm -rf " + out + " && mkdir " + out);
    const CommandResult full = WithFileSizeLimit(20000, [&] {
        return RunCommand(BinDir() + "/zelph-convert --quiet " + hybrid + "--output-dir " + out + " " + wav);
    });
    EXPECT_NE(full.out.find("cannot write: disk full"), std::string::npos) << full.out;
    EXPECT_EQ(Listing(out), "");
    // An output whose source has gone takes its correction file along.
    const std::string orphans = BinDir() + "/zelph-convert --quiet --delete-orphans " + hybrid + "--output-dir " + out;
    ASSERT_EQ(RunCommand("cp " + wav + " " + dir / "gone.wav && " + orphans + " " + dir / "gone.wav").status, 0);
    ASSERT_EQ(RunCommand("rm " + dir / "gone.wav && " + orphans + " " + wav).status, 0);
    EXPECT_EQ(Listing(out), "in.wv in.wvc ");
}

}  // namespace zelph::test
