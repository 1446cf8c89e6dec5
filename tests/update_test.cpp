// Re-runs over a converted library, whole zelph-convert runs: what changed
// since the last run is done again, and only that.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "core/worddigest.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

std::string Cli(const std::string& args) { return BinDir() + "/zelph-convert " + args; }

// Three tagged FLAC sources in lib/, each converted into out/ by a first run.
constexpr const char* kLibrary =
    "mkdir lib out && for n in x:300 y:400 z:500; do sox -n -r 8000 -c 1 -b 16 w.wav synth 0.2 sine ${n#*:} && "
    "flac --silent -T TITLE=${n%:*} -o lib/${n%:*}.flac w.wav; done && rm w.wav";
constexpr const char* kRun = "--quiet --jobs 1 --target flac --output-dir out --keep-tree lib --update ";

struct UpdateCase {
    const char* name;
    const char* change;  // shell commands between the two runs
    const char* args;    // more for the second run
    const char* lines;   // its result lines; "@" stands for the scratch folder
    const char* summary;
};

std::string Expand(std::string text, const std::string& dir) {
    for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + dir.size())) text.replace(at, 1, dir);
    return text;
}

}  // namespace

TEST(Update, ReRunsDoOnlyWhatChanged) {
    const UpdateCase cases[] = {
        {"nothing changed", "", "",
         "Skipped\tlib/x.flac\tup to date\nSkipped\tlib/y.flac\tup to date\nSkipped\tlib/z.flac\tup to date\n",
         "done 0, up to date 3, skipped 0, failed 0, removed 0"},
        {"touched, same audio and tags", "touch -d 2001-01-01 lib/y.flac", "",
         "Skipped\tlib/x.flac\tup to date\nSkipped\tlib/y.flac\tup to date\nSkipped\tlib/z.flac\tup to date\n",
         "done 0, up to date 3, skipped 0, failed 0, removed 0"},
        {"tags changed", "metaflac --set-tag=ARTIST=New lib/y.flac", "",
         "Skipped\tlib/x.flac\tup to date\nDone\tlib/y.flac\ttags only\nSkipped\tlib/z.flac\tup to date\n",
         "done 1, up to date 2, skipped 0, failed 0, removed 0"},
        {"audio changed", "sox -n -r 8000 -c 1 -b 16 w.wav synth 0.3 sine 700 && flac -f --silent -o lib/y.flac w.wav", "",
         "Skipped\tlib/x.flac\tup to date\nDone\tlib/y.flac\nSkipped\tlib/z.flac\tup to date\n",
         "done 1, up to date 2, skipped 0, failed 0, removed 0"},
        {"settings changed", "", "--set flac.level=8 ",
         "Done\tlib/x.flac\nDone\tlib/y.flac\nDone\tlib/z.flac\n", "done 3, up to date 0, skipped 0, failed 0, removed 0"},
        // z's output was changed since, and stray.flac was never ours: both stay.
        {"sources deleted", "rm lib/y.flac lib/z.flac && metaflac --set-tag=MINE=1 out/z.flac && cp out/x.flac out/stray.flac",
         "--delete-orphans ", "Skipped\tlib/x.flac\tup to date\nRemoved\t@out/y.flac\n",
         "done 0, up to date 1, skipped 0, failed 0, removed 1"},
    };
    for (const UpdateCase& c : cases) {
        ScratchDir dir;
        const std::string cd = "cd " + dir.path() + " && ";
        ASSERT_EQ(RunCommand(cd + kLibrary + " && " + Cli(kRun + std::string("lib 2>/dev/null"))).status, 0) << c.name;
        const std::string before = RunCommand(cd + "md5sum out/*").out;
        if (*c.change) ASSERT_EQ(RunCommand(cd + c.change).status, 0) << c.name;
        const auto rerun = RunCommand(cd + Cli(kRun + std::string(c.args) + "lib 2>summary"));
        EXPECT_EQ(rerun.status, 0) << c.name;
        EXPECT_EQ(rerun.out, Expand(c.lines, dir.path())) << c.name;
        EXPECT_EQ(ReadFile(dir / "summary"), std::string(c.summary) + "\n") << c.name;
        // Each output holds its source's tags and audio as they are now.
        for (const char* name : {"x", "y", "z"}) {
            if (!Exists(dir / "lib/" + name + ".flac")) continue;
            const std::string show = "metaflac --show-md5sum --show-tag=TITLE --show-tag=ARTIST ";
            EXPECT_EQ(RunCommand(cd + show + "out/" + name + ".flac").out, RunCommand(cd + show + "lib/" + name + ".flac").out)
                << c.name << ' ' << name;
        }
        if (std::string(c.name) == "nothing changed") EXPECT_EQ(RunCommand(cd + "md5sum out/*").out, before);
        if (std::string(c.name) == "sources deleted") {
            EXPECT_TRUE(Exists(dir / "out/z.flac"));
            EXPECT_TRUE(Exists(dir / "out/stray.flac"));
        }
    }
}

TEST(Update, AKilledRunIsTakenUpWhereItStopped) {
    ScratchDir dir;
    const std::string cd = "cd " + dir.path() + " && ";
    // A sparse 2 GiB source after x keeps the run busy; it is killed once x is recorded.
    const std::string script = std::string(kLibrary) + " && sox -n -r 8000 -c 1 -b 16 lib/w.wav trim 0 0 && " +
                               "truncate -s 2G lib/w.wav && (" + Cli(kRun + std::string("lib/x.flac lib/w.wav")) +
                               " >/dev/null 2>&1 & pid=$!; for i in $(seq 2000); do grep -qs x.flac out/.zelph-outputs "
                               "&& break; sleep 0.01; done; kill -KILL $pid; wait $pid 2>/dev/null; test ! -e out/w.flac)";
    ASSERT_EQ(RunCommand(cd + script).status, 0);
    ASSERT_EQ(RunCommand(cd + "sox -n -r 8000 -c 1 -b 16 lib/w.wav synth 0.1 sine 200").status, 0);
    const auto rerun = RunCommand(cd + Cli(kRun + std::string("lib/x.flac lib/w.wav 2>/dev/null")));
    EXPECT_EQ(rerun.status, 0);
    EXPECT_EQ(rerun.out, "Skipped\tlib/x.flac\tup to date\nDone\tlib/w.wav\n");
    EXPECT_EQ(RunCommand(cd + "ls -A out").out, ".zelph-outputs\nw.flac\nx.flac\n") << "no run file stays";
}

TEST(Update, RulesPerSourceKindAndFolderImages) {
    ScratchDir dir;
    const std::string cd = "cd " + dir.path() + " && ";
    ASSERT_EQ(RunCommand(cd + kLibrary + " && sox -n -r 44100 -c 2 -b 16 w.wav synth 0.3 sine 440 && "
                              "lame --quiet w.wav lib/m.mp3 && echo jpeg > lib/cover.jpg").status, 0);
    const auto run = RunCommand(cd + Cli("--quiet --jobs 1 --target ogg --output-dir out --rule lossy=copy --rule lossless=opus "
                                         "--copy-images lib/m.mp3 lib/x.flac 2>/dev/null"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Done\tlib/m.mp3\nDone\tlib/x.flac\n");
    EXPECT_EQ(RunCommand(cd + "cmp lib/m.mp3 out/m.mp3 && cmp lib/cover.jpg out/cover.jpg").status, 0);
    EXPECT_EQ(RunCommand(cd + "ffprobe -v error -show_entries stream=codec_name -of csv=p=0 out/x.opus").out, "opus\n");
    EXPECT_EQ(RunCommand(cd + Cli("--target ogg --rule lossy=wma lib/m.mp3"), true).status, 2);
}

// A WAV source's audio is its data chunk: new tags around the same samples
// are tags only, new samples are new audio.
TEST(Update, WaveSourcesTellTagsFromAudio) {
    const std::pair<const char*, const char*> cases[] = {
        {"ffmpeg -v error -i lib/w.wav -c copy -metadata title=New lib/t.wav && mv lib/t.wav lib/w.wav", "Done\tlib/w.wav\ttags only\n"},
        {"sox -n -r 8000 -c 1 -b 16 lib/w.wav synth 0.2 sine 700", "Done\tlib/w.wav\n"},
    };
    for (const auto& [change, line] : cases) {
        ScratchDir dir;
        const std::string cd = "cd " + dir.path() + " && ";
        ASSERT_EQ(RunCommand(cd + "mkdir lib out && sox -n -r 8000 -c 1 -b 16 lib/w.wav synth 0.2 sine 300 && " +
                             Cli(kRun + std::string("lib 2>/dev/null"))).status, 0);
        ASSERT_EQ(RunCommand(cd + "touch -d 2001-01-01 lib/w.wav && " + change).status, 0) << change;
        EXPECT_EQ(RunCommand(cd + Cli(kRun + std::string("lib 2>/dev/null"))).out, line) << change;
    }
}

// A source's audio hash is read in whatever pieces its demuxer hands over:
// the same bytes cut otherwise hash alike, other bytes do not.
TEST(Update, AudioDigestIsTheSameHoweverTheStreamIsCut) {
    std::vector<uint8_t> bytes(1000);
    std::iota(bytes.begin(), bytes.end(), uint8_t{1});
    const auto digest = [](const std::vector<uint8_t>& stream, std::size_t piece) {
        WordDigest words;
        for (std::size_t at = 0; at < stream.size(); at += piece)
            words.Add(stream.data() + at, std::min(piece, stream.size() - at));
        return words.Finish();
    };
    const uint64_t whole = digest(bytes, bytes.size());
    for (const std::size_t piece : {1, 7, 8, 31, 32, 33, 100})
        EXPECT_EQ(digest(bytes, piece), whole) << "in pieces of " << piece;
    std::vector<uint8_t> changed = bytes;
    changed[517] ^= 1;
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    for (const auto& other : {changed, longer, std::vector<uint8_t>(bytes.begin(), bytes.end() - 1)})
        EXPECT_NE(digest(other, 33), whole);
}

}  // namespace zelph::test
