// Folders walked into source lists, output names from the kept tree and
// from tag patterns, and the planner refusing two sources for one name.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/naming.h"
#include "core/outputnames.h"
#include "core/planner.h"
#include "core/sources.h"
#include "settings/settings.h"
#include "tests/support/scratch.h"

namespace zelph::test {

namespace {

const TagFields kTags = {{"ARTIST", {"Ann", "Bo"}},
                         {"ALBUM", {"Live: A/B?"}},
                         {"TITLE", {"Intro..."}},
                         {"TRACKNUMBER", {"1/12"}},
                         {"DISCNUMBER", {"3/100"}},
                         {"GENRE", {"CON"}},
                         {"COMMENT", {std::string(300, 'x')}},
                         {"LYRICS", {std::string(120, 'x') + "\xC3\xA9" + std::string(200, 'y')}}};

}  // namespace

TEST(NamePattern, ExpandsFieldsFallbacksSectionsAndNumbers) {
    struct Case {
        const char* pattern;
        std::string expected;
    } cases[] = {
        {"%albumartist|artist%/%album%/%tracknumber% - %title%", "Ann, Bo/Live_ A_B_/01 - Intro"},
        {"%discnumber%", "003"},
        {"[%albumartist% - ]%title%", "Intro"},           // a section with a missing field goes
        {"[%artist% - ]%title%", "Ann, Bo - Intro"},
        {"%composer%/%title%", "Intro"},                  // an empty folder is left out
        {"%composer%", "fallback"},                       // an empty name is the source's
        {"[a[%composer%]b]%title%", "abIntro"},           // only the inner section goes
        {"100%% %title%", "100% Intro"},
        {"%genre%", "CON_"},                              // a device name is made safe
        {"../%title%", "Intro"},                          // no way out of the output folder
        {"%comment%", std::string(251, 'x')},             // the name leaves room for ".ogg"
        {"%comment%/t", std::string(255, 'x') + "/t"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandNamePattern(c.pattern, kTags, "fallback", 4), c.expected) << c.pattern;
    // A cut never splits a character: 120 + 2 bytes of "é" do not fit in 121.
    EXPECT_EQ(ExpandNamePattern("%lyrics%", kTags, "", 255 - 121), std::string(120, 'x'));
}

TEST(NamePattern, ProblemsAreFoundBeforePlanning) {
    for (const char* bad : {"%title", "[%title%", "%title%]", "a%b%c%"}) EXPECT_NE(NamePatternProblem(bad), "") << bad;
    for (const char* good : {"", "%title%", "[[%a%]%b%]", "%%"}) EXPECT_EQ(NamePatternProblem(good), "") << good;
}

TEST(SafeNameComponent, MakesNamesEveryFileSystemTakes) {
    struct Case {
        std::string name, expected;
    } cases[] = {
        {"a<b>c:d\"e\\f|g?h*i", "a_b_c_d_e_f_g_h_i"}, {"tab\there\x7F", "tab_here_"},
        {"trailing. . ", "trailing"},                  {"...", ""},
        {"con", "con_"},                               {"Lpt9.txt", "Lpt9_.txt"},
        {"COM0", "COM0_"},                             {"CONSOLE", "CONSOLE"},
        {"nul .x", "nul_ .x"},                         {"COM10", "COM10"},                          {"Ünïcödé ♫", "Ünïcödé ♫"},
    };
    for (const Case& c : cases) EXPECT_EQ(SafeNameComponent(c.name), c.expected) << c.name;
    EXPECT_EQ(SafeNameComponent(std::string(254, 'a') + "\xE2\x99\xAB"), std::string(254, 'a'));
}

TEST(ExpandSources, WalksFoldersSortedAndReportsLoops) {
    ScratchDir dir;
    for (const char* folder : {"m", "m/b", "m/a", "m/a/deep", "m/ü"}) ::mkdir((dir / folder).c_str(), 0755);
    for (const char* file : {"m/b/x.flac", "m/a/x.flac", "m/a/deep/y.MP3", "m/ü/z?.wav", "m/a/notes.txt", "m/top.ogg"})
        WriteFile(dir / file, "x");
    ASSERT_EQ(::symlink("..", (dir / "m/a/deep/up").c_str()), 0);       // back to m/a: a loop
    ASSERT_EQ(::symlink("../a", (dir / "m/b/to-a").c_str()), 0);        // m/a a second time
    ASSERT_EQ(::symlink("gone.wav", (dir / "m/b/dangling.wav").c_str()), 0);

    const SourceList list = ExpandSources({dir / "m", dir / "loose.mp3"});
    const std::vector<std::string> files = {dir / "m/a/deep/y.MP3", dir / "m/a/x.flac", dir / "m/b/x.flac",
                                            dir / "m/top.ogg", dir / "m/ü/z?.wav", dir / "loose.mp3"};
    EXPECT_EQ(list.files, files);
    std::vector<std::string> problems;
    for (const WalkProblem& problem : list.problems) problems.push_back(problem.path + ": " + problem.reason);
    EXPECT_EQ(problems, (std::vector<std::string>{dir / "m/a/deep/up/: a link loop: leads back to " + dir / "m/a/",
                                                  dir / "m/b/dangling.wav: No such file or directory",
                                                  dir / "m/b/to-a/: the same folder as " + dir / "m/a/, walked once"}));

    if (::geteuid() != 0) {  // the superuser reads every folder
        ::chmod((dir / "m/b").c_str(), 0);
        EXPECT_EQ(ExpandSources({dir / "m/b"}).problems.at(0).reason, "Permission denied");
        ::chmod((dir / "m/b").c_str(), 0755);
    }
}

TEST(PlanWithNaming, KeepsTheTreeAndRefusesOutputsThatMeet) {
    ScratchDir dir;
    ConverterSettings settings{};
    ApplyDefaults(settings, dir.path());
    settings.general.outputFolderMode = OutputFolderMode::kInFolder;
    std::snprintf(settings.general.outputFolder, sizeof settings.general.outputFolder, "%s", (dir / "out").c_str());
    const TargetTuning tuning{};
    struct Case {
        OutputNaming naming;
        std::vector<std::string> sources;
        std::vector<std::string> outputs;  // below out/, or the error's start
        std::string error;
    } cases[] = {
        {{}, {"m/a/x.wav", "m/b/x.wav"}, {"x.ogg", "x(1).ogg"}, ""},  // the plain naming stays
        {{.treeRoot = dir / "m", .pattern = ""}, {"m/a/x.wav", "m/b/x.wav", "m/y.wav"}, {"a/x.ogg", "b/x.ogg", "y.ogg"}, ""},
        {{.treeRoot = dir / "m/a", .pattern = ""}, {"m/a/x.wav", "m/b/x.wav"}, {}, dir / "m/b/x.wav is not under the kept tree"},
        {{.treeRoot = "", .pattern = "%title%"}, {"m/a/x.wav", "m/b/x.wav"}, {},
         dir / "m/a/x.wav and " + dir / "m/b/x.wav would both be written as " + dir / "out/x.ogg"},
        {{.treeRoot = dir / "m", .pattern = "n/%title%"}, {"m/a/x.wav"}, {"a/n/x.ogg"}, ""},
        {{.treeRoot = "", .pattern = "%title"}, {"m/a/x.wav"}, {}, "a '%' in the name pattern has no closing '%'"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> sources;
        for (const std::string& source : c.sources) sources.push_back(dir / source);
        const BatchPlan plan = PlanJobs(settings, tuning, kTargetOgg, sources, c.naming);
        std::vector<std::string> outputs;
        for (const PlannedFile& file : plan.files) {
            outputs.push_back(file.finalTarget.substr((dir / "out/").size()));
            EXPECT_EQ(file.outputFolder, FolderOf(file.finalTarget));
        }
        EXPECT_EQ(plan.error.substr(0, c.error.size()), c.error) << c.naming.treeRoot << c.naming.pattern;
        EXPECT_EQ(c.error.empty(), plan.error.empty()) << plan.error;
        EXPECT_EQ(outputs, c.outputs) << c.naming.treeRoot << c.naming.pattern;
    }
}

}  // namespace zelph::test
