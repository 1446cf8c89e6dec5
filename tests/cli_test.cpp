#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "settings/settings.h"
#include "settings/settingsfields.h"
#include "tests/support/scratch.h"

using zelph::test::RunCommand;
using zelph::test::ScratchDir;

namespace {

std::string Cli(const std::string& args) { return zelph::test::BinDir() + "/zelph-convert " + args; }

// zelph-convert run with `args` in `dir`.
zelph::test::CommandResult RunIn(const ScratchDir& dir, const std::string& args, bool mergeErr = false) {
    return RunCommand("cd " + dir.path() + " && " + Cli(args), mergeErr);
}

}  // namespace

TEST(Cli, UsageErrorsExitTwoWithOneLine) {
    ScratchDir dir;
    zelph::test::WriteFile(dir / "short.dat", std::string("\x34\x05\0\0", 4));  // its check value holds
    zelph::test::WriteFile(dir / "foreign.dat", std::string(1336, 'x'));
    for (const char* args : {"--bogus a.wav", "--target mp4 a.wav", "--target", "--target wav",
                             "--set lame.cbrBitrate=100 a.wav", "--set nothing.here=1 a.wav",
                             "--set lame.quality a.wav", "--set flac.level=9 a.wav", "--set opus.complexity=11 a.wav", "--if-exists maybe a.wav",
                             "--output-dir /no/such/folder a.wav", "--settings missing.dat a.wav",
                             "--settings . a.wav", "--settings short.dat a.wav", "--settings foreign.dat a.wav",
                             "--set window.width=wide a.wav"}) {
        const auto result = RunIn(dir, args, true);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << args << ": " << result.out;
    }
    EXPECT_NE(RunIn(dir, "--set lame.cbrBitrate=100 a.wav", true).out.find("lame.cbrBitrate"), std::string::npos);
    EXPECT_NE(RunIn(dir, "--settings missing.dat a.wav", true).out.find("No such file"), std::string::npos);
}

TEST(Cli, HelpAndVersion) {
    for (const auto& [args, says] : {std::pair{"--help", "--dry-run"}, {"--version", "1.0"}}) {
        const auto result = RunCommand(Cli(args));
        EXPECT_EQ(result.status, 0) << args;
        EXPECT_NE(result.out.find(says), std::string::npos) << args;
    }
}

TEST(Cli, DryRunPrintsThePlannedQueueAndTouchesNothing) {
    ScratchDir dir;
    zelph::test::WriteFile(dir / "b.wav", "");
    // Settings and preferences here, which the run reads and its choices
    // change but which it never writes.
    zelph::SettingsStore store(zelph::SettingsStore::PathIn(dir.path()));
    store.LoadSettings(true);
    ASSERT_EQ(store.SaveSettings(), "");
    const std::string settings = zelph::test::ReadFile(dir / "Settings.dat");
    zelph::test::WriteFile(dir / "zelph.conf", "window.width = 900\n");
    const auto result = RunIn(dir, "--dry-run --target ogg --if-exists skip --set window.width=1200 a.mp3 b.wav c.txt");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "DECMP3\ta.mp3\tTemp-QOR-File\t0/30\n"
              "ENCWAVPCM\tTemp-QOR-File\t\t30/10\n"
              "ENCOGGVORBIS\tTemp-QOR-File\ta.ogg\t40/60\n"
              "ENCWAVPCM\tb.wav\tTemp-QOR-File\t0/10\n"
              "ENCOGGVORBIS\tTemp-QOR-File\tb.ogg\t10/90\n");
    EXPECT_TRUE(zelph::test::ReadFile(dir / "Settings.dat") == settings) << "the command line never saves";
    EXPECT_EQ(zelph::test::ReadFile(dir / "zelph.conf"), "window.width = 900\n");
}

TEST(Cli, ReadsTheSettingsTheWindowSavedUnlessAFileHereOrAGivenOneSaysOtherwise) {
    ScratchDir dir;
    // A target saved into `folder` as the main window saves it when it closes.
    const auto save = [](const std::string& folder, const char* targetFormat) {
        std::filesystem::create_directories(folder);
        zelph::SettingsStore store(zelph::SettingsStore::PathIn(folder));
        store.LoadSettings(true);
        ASSERT_EQ(zelph::SetSettingsField(store.record, "targetFormat", targetFormat), "");
        ASSERT_EQ(store.SaveSettings(), "");
    };
    // The last job of the plan: the target's encoder.
    const auto encoder = [&](const std::string& environment, const std::string& args = "") {
        return RunCommand("cd " + dir / "work" + " && " + environment + " " + Cli("--dry-run " + args + " x.wav") +
                          " | tail -n 1 | cut -f 1").out;
    };
    std::filesystem::create_directory(dir / "work");
    save(dir / "config/zelph/", "6");
    save(dir / "home/.config/zelph/", "5");
    save(dir / "mine/", "8");
    const std::string xdg = "XDG_CONFIG_HOME=" + dir / "config";
    EXPECT_EQ(encoder(xdg), "ENCAPEMONKEY\n");
    EXPECT_EQ(encoder("HOME=" + dir / "home XDG_CONFIG_HOME=relative"), "ENCOGGVORBIS\n");
    EXPECT_EQ(encoder(xdg, "--settings ../mine/Settings.dat"), "ENCOPUS\n");
    save(dir / "work/", "7");
    EXPECT_EQ(encoder(xdg), "ENCFLAC\n") << "a Settings.dat in the working folder wins";
}

TEST(Cli, ConversionReportsEachFileAndItsExitStatus) {
    ScratchDir dir;
    const auto nothing = RunIn(dir, "--target wav a.mp2", true);
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.out, "Skipped\ta.mp2\nNo Jobs In Queue...\ndone 0, skipped 1, failed 0\n");

    // A source that cannot be read fails its file with a reason; every file gets its line.
    const auto failed = RunIn(dir, "--jobs 1 --target ogg --verbose --quiet missing.wav skip.vqf gone.mp3");
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(std::regex_match(failed.out, std::regex("Skipped\tskip\\.vqf\n"
                                                        "Error Occured\tmissing\\.wav\t[^\t\n]+\tmissing\\.ogg\n"
                                                        "Error Occured\tgone\\.mp3\t[^\t\n]+\tgone\\.ogg\n")))
        << failed.out;
    EXPECT_EQ(RunCommand("ls -A " + dir.path()).out, "") << "no temporary or partial file stays";
}

TEST(Cli, DescribeListsEveryFileAndFailsForAMissingOne) {
    ScratchDir dir;
    zelph::test::WriteFile(dir / "a.txt", "hello");
    EXPECT_EQ(RunIn(dir, "--describe a.txt").status, 0);
    const auto result = RunIn(dir, "--describe a.txt missing.mp3");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "a.txt\t5\tUnknown Audio File Format\tUnscheduled\n"
                          "missing.mp3\t---\tFile Doesnot Exist Or In Use\tScheduled\n");
}

TEST(Cli, StopSignalCancelsTheRunningFileAndLeavesNoTemporaryFile) {
    for (const auto& [signal, status] : {std::pair{"INT", 130}, std::pair{"TERM", 143}}) {
        ScratchDir dir;
        // A sparse 2 GiB source: its preparing step runs long enough to be interrupted.
        const std::string script =
            "cd " + dir.path() + " && sox -n -r 44100 -c 2 -b 16 big.wav trim 0 0 && truncate -s 2G big.wav || exit; " +
            Cli("--target ogg --quiet big.wav") + " > result.txt & pid=$!; "
            "for i in $(seq 1000); do [ -s Temp-QOR-File ] && break; sleep 0.01; done; "
            "kill -" + signal + " $pid; wait $pid";
        const auto run = RunCommand(script);
        EXPECT_EQ(run.status, status) << signal;
        EXPECT_EQ(zelph::test::ReadFile(dir / "result.txt"), "Cancelled\tbig.wav\n") << signal;
        EXPECT_FALSE(zelph::test::Exists(dir / "Temp-QOR-File")) << signal;
        EXPECT_FALSE(zelph::test::Exists(dir / "big.ogg")) << signal;
    }
}

TEST(Cli, FoldersKeepTheirTreeAndTagsNameTheOutputs) {
    ScratchDir dir;
    const std::string cd = "cd " + dir.path() + " && ";
    // Same names in two folders, a name FAT would refuse, and a file that is no music.
    const std::string make =
        "mkdir -p 'm/a' 'm/b' 'm/ü ♫' t tree named meet && echo text > m/a/notes.txt && "
        "sox -n -r 8000 -c 1 -b 16 m/a/x.wav synth 0.1 sine 400 && cp m/a/x.wav m/b/ && cp m/a/x.wav 'm/ü ♫/y:?.wav' && "
        "flac --silent -T 'ARTIST=AC/DC' -T TITLE=Hi -T TRACKNUMBER=2/12 -o t/x.flac m/a/x.wav && "
        "flac --silent -T 'ARTIST=AC/DC' -T ALBUM=Live -T TITLE='Hi.' -T TRACKNUMBER=3 -o t/y.flac m/a/x.wav";
    ASSERT_EQ(RunCommand(cd + make).status, 0);
    const auto files = [&](const std::string& folder) { return RunCommand(cd + "cd " + folder + " && find . -type f ! -name .zelph-outputs | LC_ALL=C sort").out; };

    const auto tree = RunIn(dir, "--quiet --target wav --output-dir tree --keep-tree m m", true);
    EXPECT_EQ(tree.status, 0) << tree.out;
    EXPECT_TRUE(tree.out.ends_with("\ndone 3, skipped 0, failed 0\n")) << tree.out;
    EXPECT_EQ(files("tree"), "./a/x.wav\n./b/x.wav\n./\xC3\xBC \xE2\x99\xAB/y:?.wav\n");

    const auto named = RunCommand(cd + "printf 't/x.flac\\0t/y.flac\\0' | " +
                                  Cli("--quiet --target wav --output-dir named --files-from - --null "
                                      "--name-pattern '%albumartist|artist%/[%album%/]%tracknumber% - %title%'"), true);
    EXPECT_EQ(named.status, 0) << named.out;
    EXPECT_EQ(files("named"), "./AC_DC/02 - Hi.wav\n./AC_DC/Live/03 - Hi.wav\n");

    const auto meet = RunIn(dir, "--target wav --output-dir meet --name-pattern %artist% t", true);
    EXPECT_EQ(meet.status, 2);
    EXPECT_EQ(meet.out, "zelph-convert: t/x.flac and t/y.flac would both be written as meet/AC_DC.wav\n");
    EXPECT_EQ(files("meet"), "");

    // Beside a source given by its bare name, the pattern's folder is made there.
    const auto beside = RunCommand(cd + "cd t && " + Cli("--quiet --target wav --beside-source --name-pattern 'n/%title%' x.flac"));
    EXPECT_EQ(beside.status, 0) << beside.out;
    EXPECT_TRUE(zelph::test::Exists(dir / "t/n/Hi.wav"));
}
