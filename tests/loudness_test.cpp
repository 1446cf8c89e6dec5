// Loudness tags through whole conversions, judged by loudgain on the same
// output files: speech, music and music padded with silence as one album,
// and a clipped tone (a FLAC carrying gains of its own) in a folder of its
// own as another, converted between them, to every target.

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
        for (const std::string& scope : {"TRACK", "ALBUM"}) {
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
                if (!r128 && options[2] == 't') EXPECT_NEAR(ourPeaks.at(track) / peaks.at(scanned), 1, 0.0116);
                if (!r128 && options[2] == 'j' && track == "clipped") EXPECT_NEAR(ourPeaks.at(track), 1.0, 1e-4);
            }
        }
    }
    // Opus players add R128 gains to the header's output gain, which stays at 0 dB.
    EXPECT_NE(RunCommand("opusinfo '" + dir / "opustrue/music.opus" + "'").out.find("Playback gain: 0 dB"),
              std::string::npos);
}

}  // namespace
}  // namespace zelph::test
