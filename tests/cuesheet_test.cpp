// CD images split by their CUE sheets through the command-line program: the
// tracks of a WAV and a FLAC image, decoded by sox, join to the image bit
// for bit, each as long as the sheet's INDEX points say (a pregap ends the
// track before it); the sheet's tags read back in FFmpeg; a folder of image
// and sheet gives the tracks alone; sheets that cannot be used are refused
// with their reason.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

// Track 1 starts at 00:00:20 (its lead-in kept), track 2 has a pregap from
// 00:01:50 and starts at 00:02:01, track 3 at 00:03:40: 588 samples a frame.
constexpr long kTrackSamples[] = {151 * 588, (265 - 151) * 588};
constexpr const char* kSheet =
    "REM GENRE \"Test Rock\"\nREM DATE 2001\nPERFORMER \"The Band\"\nTITLE \"T\xC3\xB6nes\"\n"
    "FILE \"image.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One: first\"\n    INDEX 01 00:00:20\n"
    "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Guest\"\n    INDEX 00 00:01:50\n    INDEX 01 00:02:01\n"
    "  TRACK 03 AUDIO\n    INDEX 01 00:03:40\n";
constexpr const char* kOutputs[] = {"01 - One_ first", "02 - Two", "03 - Track 03"};

// Three tones whose lengths are no whole number of CD frames, as one image.
void MakeImage(const ScratchDir& dir) {
    const std::string tones = "sox -n -r 44100 -c 2 -b 16 " + dir.path();
    ASSERT_EQ(RunCommand(tones + "a.wav synth 2.013 sine 300 vol 0.3 && " + tones + "b.wav synth 1.507 sine 500 vol 0.3 && " +
                         tones + "c.wav synth 1.2345 sine 700 vol 0.3 && cd " + dir.path() +
                         " && sox a.wav b.wav c.wav image.wav && rm a.wav b.wav c.wav").status, 0);
}

std::string Raw(const std::string& files) { return RunCommand("sox " + files + " -t raw - | md5sum").out; }

std::string Samples(const std::string& file) { return RunCommand("soxi -s '" + file + "'").out; }

// zelph-convert run with `args`, its errors in what it printed when `mergeErr`.
CommandResult Convert(const std::string& args, bool mergeErr = false) {
    return RunCommand(BinDir() + "/zelph-convert " + args, mergeErr);
}

}  // namespace

TEST(CueSheets, TracksJoinToTheImageBitForBit) {
    // How image.wav is packed, the target and its extension.
    for (const auto& [packing, target, extension] :
         {std::tuple{"", "flac", ".flac"}, std::tuple{"flac -s --delete-input-file image.wav", "wav", ".wav"}}) {
        SCOPED_TRACE(target);
        ScratchDir dir, out;
        MakeImage(dir);
        const std::string whole = Raw(dir / "image.wav");
        const long total = std::stol(Samples(dir / "image.wav"));
        // A sheet that still names the WAV finds the image packed as FLAC.
        if (*packing) { ASSERT_EQ(RunCommand("cd " + dir.path() + " && " + packing).status, 0); }
        WriteFile(dir / "Album.cue", kSheet);
        EXPECT_EQ(Convert("--quiet --jobs 2 --target " + std::string(target) + " --output-dir " + out.path() + " " +
                          dir / "Album.cue").status, 0);
        std::string joined;
        for (const char* name : kOutputs) joined += " '" + out / (name + std::string(extension)) + "'";
        EXPECT_EQ(Raw(joined), whole);
        EXPECT_EQ(Samples(out / (kOutputs[0] + std::string(extension))), std::to_string(kTrackSamples[0]) + "\n");
        EXPECT_EQ(Samples(out / (kOutputs[1] + std::string(extension))), std::to_string(kTrackSamples[1]) + "\n");
        EXPECT_EQ(Samples(out / (kOutputs[2] + std::string(extension))),
                  std::to_string(total - kTrackSamples[0] - kTrackSamples[1]) + "\n");
    }
}

TEST(CueSheets, TracksCarryTheSheetsTags) {
    ScratchDir dir;
    MakeImage(dir);
    // Windows-1252, as many rippers write sheets: the album is "Tönes".
    std::string latin = kSheet;
    latin.replace(latin.find("\xC3\xB6"), 2, "\xF6");
    WriteFile(dir / "Album.cue", latin);
    ASSERT_EQ(Convert("--quiet --target flac " + dir / "Album.cue").status, 0);
    const std::string tags =
        RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 '" + dir / "02 - Two.flac" + "'").out;
    for (const char* tag : {"TITLE=Two", "ARTIST=Guest", "ALBUM=T\xC3\xB6nes", "album_artist=The Band", "track=2",
                            "TRACKTOTAL=3", "DATE=2001", "GENRE=Test Rock"})
        EXPECT_NE(tags.find(tag), std::string::npos) << tag << " in\n" << tags;
    // The image stays whole even when sources are to be deleted.
    Convert("--quiet --target flac --delete-source --if-exists overwrite " + dir / "Album.cue");
    EXPECT_TRUE(Exists(dir / "image.wav"));
    EXPECT_TRUE(Exists(dir / "Album.cue"));
}

TEST(CueSheets, AFolderOfImageAndSheetGivesTheTracksAlone) {
    ScratchDir dir, out;
    MakeImage(dir);
    WriteFile(dir / "Album.cue", kSheet);
    const std::string described = Convert("--describe " + dir.path()).out;
    EXPECT_EQ(described.find("/image.wav\t"), std::string::npos) << described;
    EXPECT_NE(described.find("track 3 of 3 of image.wav\tScheduled"), std::string::npos) << described;
    const std::string update = "--target wav --update --output-dir " + out.path() + " " + dir.path();
    ASSERT_EQ(Convert("--quiet " + update).status, 0);
    EXPECT_EQ(RunCommand("ls " + out.path()).out, "01 - One_ first.wav\n02 - Two.wav\n03 - Track 03.wav\n");
    // Each track has its own record: a second run finds all three up to
    // date, and none is an orphan while its image is there.
    const std::string summary = Convert("--delete-orphans " + update, true).out;
    EXPECT_NE(summary.find("up to date 3, skipped 0, failed 0, removed 0"), std::string::npos) << summary;
}

TEST(CueSheets, SheetsThatCannotBeUsedAreRefusedWithTheirReason) {
    const std::pair<const char*, const char*> cases[] = {  // the sheet, its reason
        {"FILE \"gone.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", "its audio file gone.wav is missing"},
        {"garbage\n TRACK zz\n", "not a CUE sheet libcue can read"},
        {"FILE \"image.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:02:00\n TRACK 02 AUDIO\n  INDEX 01 00:01:00\n",
         "track 02 starts before the track ahead of it ends"},
        {"FILE \"image.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n FILE \"image.wav\" WAVE\n TRACK 02 AUDIO\n"
         "  INDEX 01 00:01:00\n FILE \"b.wav\" WAVE\n TRACK 03 AUDIO\n  INDEX 01 00:00:00\n",
         "several audio files is not supported"},
        // Past the image's end: found only once the image is decoded.
        {"FILE \"image.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 00:09:00\n",
         "the sheet places the track after the end of its image"},
    };
    ScratchDir dir;
    MakeImage(dir);
    for (const auto& [sheet, reason] : cases) {
        SCOPED_TRACE(sheet);
        WriteFile(dir / "Bad.cue", sheet);
        const CommandResult run = Convert("--quiet --target wav --if-exists overwrite " + dir / "Bad.cue", true);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.out.find(reason), std::string::npos) << run.out;
    }
}

// A run killed while its image's WAV is out leaves run files only, which the
// next run into the folder removes.
TEST(CueSheets, AKilledRunLeavesNoImageWavBehind) {
    ScratchDir dir;
    const std::string run = BinDir() + "/zelph-convert --quiet --target flac --output-dir out Big.cue";
    // A sparse image of 70 minutes keeps the run busy.
    WriteFile(dir / "Big.cue", "FILE \"big.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                               " TRACK 02 AUDIO\n  INDEX 01 60:00:00\n");
    ASSERT_EQ(RunCommand("cd " + dir.path() + " && mkdir out && sox -n -r 8000 -c 1 -b 16 big.wav trim 0 0 && "
                         "truncate -s 70M big.wav && (" + run + " >/dev/null 2>&1 & pid=$!; for i in $(seq 2000); do "
                         "[ $(ls out | grep -c Temp-) -ge 3 ] && break; sleep 0.01; done; kill -KILL $pid; "
                         "wait $pid 2>/dev/null; ls out | grep -q Temp-) && " + run + " >/dev/null && ls -A out")
                  .out,
              ".zelph-outputs\n01 - Track 01.flac\n02 - Track 02.flac\n");
}

}  // namespace zelph::test
