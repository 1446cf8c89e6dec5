// Loudness tags through whole conversions, judged by loudgain on the same
// output files: speech, music and music padded with silence as one album,
// and a clipped tone (a FLAC carrying gains of its own) in a folder of its
// own as another, converted between them, to every target. Then audio
// brought to one loudness, judged the same way.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

// The number after each line's first word (a file's path), by the file's
// name without its extension, from what `command` prints.
std::map<std::string, double> Column(const std::string& command) {
    std::map<std::string, double> values;
    std::istringstream lines(RunCommand(command).out);
    double value;
    for (std::string line, name; std::getline(lines, line);)
        if (std::istringstream(line) >> name >> value) values.emplace(std::filesystem::path(name).stem(), value);
    return values;
}

// Target, extension and options; the last with sample peaks (the clipped
// tone's is full scale, its true peak above), one file at a time.
const std::tuple<const char*, const char*, std::string> kRuns[] = {
    {"flac", "flac", "--true-peak"}, {"ogg", "ogg", "--true-peak"}, {"lame", "mp3", "--true-peak"},
    {"wav", "wav", "--true-peak"}, {"ape", "ape", "--true-peak"}, {"opus", "opus", "--true-peak"},
    {"flac", "flac", "--jobs 1"}};

TEST(Loudness, TrackAndAlbumGainsAndPeaksMatchLoudgainOnEveryTarget) {
    ScratchDir dir;
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && espeak-ng -w speech.wav 'Loudness as a player plays it.' && "
                         "sox -n -r 44100 -c 2 -b 16 music.wav synth 8 pluck 220 pluck 330 tremolo 3 40 && "
                         "sox music.wav padded.wav pad 3 4 && sox -n -r 44100 -c 2 -b 16 clip.wav synth 4 sine 997 "
                         "gain 6 2>/dev/null && mkdir b && flac -s -T REPLAYGAIN_TRACK_GAIN='+9.00 dB' clip.wav "
                         "-o b/clipped.flac").status, 0);
    for (const auto& [target, ext, options] : kRuns) {
        SCOPED_TRACE(std::string(target) + " " + options);
        const std::string out = dir / (target + options.substr(2, 4)), files = out + "/*." + ext;  // "flactrue"
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir '" + out + "' && timeout 300 " + BinDir() +
                             "/zelph-convert --quiet --verify --loudness album " + options + " --target " + target +
                             " --output-dir '" + out + "' speech.wav b/clipped.flac music.wav padded.wav").status, 0);
        // loudgain's gains are to -18 LUFS, to -23 LUFS (R128's reference) for Opus.
        const bool r128 = std::string(ext) == "opus";
        const std::string scan = "bash -c \"loudgain -q -a -O -s s " + out + "/{speech,music,padded}." + ext +
                                 "; loudgain -q -O -s s " + out + "/clipped." + ext + "\" | cut -f 1,";
        const auto gains = Column(scan + "9"), peaks = Column(scan + "4");
        for (const std::string scope : {"TRACK", "ALBUM"}) {
            const std::string tag = (r128 ? "R128_" : "REPLAYGAIN_") + scope;
            auto tagged = [&](const std::string& field) {
                return Column("for f in " + files + "; do echo $f $(ffprobe -v error -of default=nw=1:nk=1 " +
                              "-show_entries format_tags=" + field + ":stream_tags=" + field + " $f); done");
            };
            const auto ours = tagged(tag + "_GAIN"), ourPeaks = tagged(tag + "_PEAK");
            ASSERT_EQ(ours.size(), 4u);
            for (const auto& [track, gain] : ours) {
                SCOPED_TRACE(track + " " + scope);
                const std::string scanned = scope == "TRACK" || track == "clipped" ? track : "Album";
                EXPECT_NEAR(r128 ? gain / 256 : gain, gains.at(scanned), 0.02);
                // 0.1 dB either way.
                if (!r128 && options[2] == 't') { EXPECT_NEAR(ourPeaks.at(track) / peaks.at(scanned), 1, 0.0116); }
                if (!r128 && options[2] == 'j' && track == "clipped") { EXPECT_NEAR(ourPeaks.at(track), 1.0, 1e-4); }
            }
        }
    }
    // Opus players add R128 gains to the header's output gain, which stays at 0 dB.
    EXPECT_NE(RunCommand("opusinfo '" + dir / "opustrue/music.opus" + "'").out.find("Playback gain: 0 dB"),
              std::string::npos);
}

// Sources for the applied gain, and whether the -1 dBTP ceiling holds their
// gain back (a lone full-scale click in quiet music).
const std::tuple<const char*, const char*, bool> kGainSources[] = {
    {"music.wav", "-r 44100 -c 2 -b 16 music.wav synth 6 pluck 220 pluck 330 tremolo 3 40 gain -n -14", false},
    {"clip.wav", "-r 44100 -c 2 -b 16 clip.wav synth 6 sine 997 gain 6", false},
    {"high.flac", "-r 48000 -c 1 -b 24 high.flac synth 6 sine 440 vol 0.02", false},
    {"click.wav", "-r 44100 -c 2 -b 16 click.wav synth 6 sine 1000 vol 0.01 : synth 0.001 sine 1000", true},
};

TEST(Loudness, AppliedGainReachesTheTargetUnderTheTruePeakCeiling) {
    ScratchDir dir;
    std::string sources;
    for (const auto& [name, made, limited] : kGainSources) {
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && sox -n " + made + " 2>/dev/null").status, 0) << name;
        sources += std::string(" ") + name;
    }
    const std::string sums = RunCommand("cd '" + dir.path() + "' && md5sum" + sources).out;
    constexpr double kTarget = -20;
    // A lossy target is held to its loudness; its encoder may overshoot the peak.
    for (const auto& [target, ext, lossless] : {std::tuple{"flac", "flac", true}, {"wav", "wav", true},
                                                {"ogg", "ogg", false}}) {
        SCOPED_TRACE(target);
        const std::string out = dir / target;
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir " + target + " && timeout 300 " + BinDir() +
                             "/zelph-convert --quiet --verify --loudness track --apply-gain -20 --target " + target +
                             " --output-dir " + target + sources).status, 0);
        const std::string scan = "loudgain -q -O -s s " + out + "/*." + ext + " | cut -f 1,";
        const auto loudness = Column(scan + "2"), peaks = Column(scan + "5");
        const auto frames = Column("for f in " + out + "/*; do echo $f $(soxi -s $f); done");
        for (const auto& [name, made, limited] : kGainSources) {
            const std::string track = std::filesystem::path(name).stem();
            SCOPED_TRACE(track);
            if (limited) {
                EXPECT_LT(loudness.at(track), kTarget - 1);
                EXPECT_NEAR(peaks.at(track), -1, lossless ? 0.1 : 0.5);
            } else {
                EXPECT_NEAR(loudness.at(track), kTarget, lossless ? 0.1 : 0.2);
                if (lossless) { EXPECT_LE(peaks.at(track), -0.9); }
            }
            EXPECT_EQ(frames.at(track), std::stod(RunCommand("soxi -s '" + dir / name + "'").out));
        }
    }
    // The gain tags describe the output as written.
    const auto tagged = Column("for f in " + dir / "flac/*.flac" +
                               "; do echo $f $(metaflac --show-tag=REPLAYGAIN_TRACK_GAIN $f | cut -d= -f2); done");
    EXPECT_NEAR(tagged.at("music"), -18 - kTarget, 0.02);
    EXPECT_EQ(RunCommand("cd '" + dir.path() + "' && md5sum" + sources).out, sums);
}

// The gains go into the room a new output leaves for its tags: the file
// keeps its untagged size rather than its audio moving behind a grown tag.
TEST(Loudness, GainsFillTheRoomNewOutputsLeaveForTags) {
    ScratchDir dir;
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir bare measured && "
                         "sox -n -r 44100 -c 2 -b 16 music.wav synth 3 pluck 220").status, 0);
    for (const std::string target : {"ogg", "opus", "flac"}) {
        const std::string run = BinDir() + "/zelph-convert --quiet --target " + target + " '" + dir / "music.wav' --output-dir '";
        ASSERT_EQ(RunCommand(run + dir / "bare'" + " && " + run + dir / "measured' --loudness track").status, 0);
        const std::string measured = dir / ("measured/music." + target);
        EXPECT_EQ(std::filesystem::file_size(measured), std::filesystem::file_size(dir / ("bare/music." + target)));
        EXPECT_NE(RunCommand("ffprobe -v error -show_entries stream_tags:format_tags '" + measured + "'").out.find(
                      "_TRACK_GAIN="), std::string::npos) << target;
    }
}

}  // namespace
}  // namespace zelph::test
