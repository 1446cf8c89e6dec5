// Every target of the core's table from every source kind it converts, through
// the command-line program: each output decodes whole in FFmpeg and lasts as
// long as its source. A new target row is tried at once; a new source row
// needs its maker in kMakers, which the test asks for.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/targets.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

constexpr double kSeconds = 0.5;

// How the test makes sources of one kind from a 16-bit stereo WAV named
// "$in" (a sox file of any form for WAV), into "$out".
struct Maker {
    const char* extension;
    const char* name;
    const char* command;
};
constexpr Maker kMakers[] = {
    {".wav", "16-bit stereo", "sox -n -r 44100 -c 2 -b 16 $out synth 0.5 sine 300 sine 500 vol 0.4"},
    {".wav", "32-bit float 192 kHz", "sox -n -r 192000 -c 2 -b 32 -e floating-point $out synth 0.5 sine 300 sine 500 vol 0.4"},
    {".wav", "24-bit 5.1", "sox -n -r 48000 -c 6 -b 24 $out synth 0.5 sine 200 sine 370 sine 540 sine 710 sine 880 sine 1050 vol 0.3"},
    {".wav", "RF64", "ffmpeg -v error -i $in -rf64 always $out"},
    {".wav", "24-bit 7.1 plain 384 kHz",
     "sox -n -r 384000 -c 8 -b 24 -t wavpcm $out synth 0.5 sine 200 sine 370 sine 540 sine 710 sine 880 sine 1050 "
     "sine 1220 sine 1390 vol 0.3"},
    {".mp3", "LAME", "lame --quiet -V 4 $in $out"},
    {".ogg", "oggenc", "oggenc -Q -o $out $in"},
    {".ape", "our own encoder", ""},
    {".flac", "24-bit 96 kHz", "sox $in -b 24 -r 96000 $in.24.wav && flac -s -f $in.24.wav -o $out"},
    {".oga", "FLAC in Ogg", "flac -s -f --ogg $in -o $out"},
    {".opus", "opusenc", "opusenc --quiet $in $out"},
    {".m4a", "AAC", "ffmpeg -v error -i $in -c:a aac -b:a 128k $out"},
    {".m4a", "ALAC 24-bit", "ffmpeg -v error -i $in -c:a alac -sample_fmt s32p $out"},
    {".wma", "WMA", "ffmpeg -v error -i $in -c:a wmav2 -b:a 128k $out"},
    {".aiff", "AIFF", "sox $in -b 24 $out"},
    {".wv", "WavPack", "wavpack -q $in -o $out"},
    {".tta", "TTA", "ffmpeg -v error -i $in $out"},
};

}  // namespace

TEST(Matrix, EveryTargetFromEverySourceKind) {
    ScratchDir dir;
    const std::string plain = dir / "plain.wav";
    ASSERT_EQ(RunCommand(Filled(kMakers[0].command, "", plain)).status, 0);
    // Monkey's Audio sources come from our own encoder, the one program here that writes them.
    ASSERT_EQ(RunCommand(BinDir() + "/zelph-convert --quiet --target ape --output-dir " + dir.path() + " " + plain).status, 0);

    std::vector<std::string> sources;
    std::string list, done;
    for (const SourceRow& row : Sources()) {
        if (!row.converted) continue;
        int made = 0;
        const std::vector<std::string_view> extensions = ExtensionsOf(row);
        for (const Maker& maker : kMakers) {
            if (std::find(extensions.begin(), extensions.end(), maker.extension) == extensions.end()) continue;
            const std::string path = dir / ("src" + std::to_string(sources.size()) + maker.extension);
            const std::string command = *maker.command ? Filled(maker.command, plain, path) : "cp " + dir / "plain.ape " + path;
            ASSERT_EQ(RunCommand(command).status, 0) << maker.name;
            sources.push_back(path);
            list += " " + path;
            done += "Done\t" + path + "\n";
            ++made;
        }
        EXPECT_GT(made, 0) << "no maker for " << row.extensions << " sources";
    }
    for (const TargetRow& target : Targets()) {
        SCOPED_TRACE(target.cliName);
        EXPECT_EQ(ConvertAll(target.cliName, dir / "out", list), done);
        for (std::size_t i = 0; i < sources.size(); ++i)
            EXPECT_NEAR(DecodedSeconds(dir / ("out/src" + std::to_string(i) + target.extension)), kSeconds, 0.06)
                << sources[i];
    }
}

}  // namespace zelph::test
