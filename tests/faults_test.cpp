// Faults injected into whole zelph-convert runs, made the way a user meets
// them: full disks (in the audio and in the tag save), folders and sources
// that vanish, are replaced or still grow, damaged MP3s, kills at random
// moments, several runs into one folder (one of them in another PID
// namespace), a reader that closes the pipe. After each: every source still
// exists or has a complete output that FFmpeg decodes whole, no existing
// file was destroyed, and no temporary or partial file is left (after a
// second run, for a kill).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <tuple>

#include "core/targets.h"
#include "metadata/mpegtags.h"
#include "metadata/tags.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace fs = std::filesystem;

namespace zelph::test {
namespace {

// Every target the program has, so that a new one is tried at once.
const std::vector<std::string> kTargets = [] {
    std::vector<std::string> names;
    for (const TargetRow& row : Targets()) names.push_back(row.cliName);
    return names;
}();

std::string ExtensionOf(const std::string& target) {
    return FindTargetByCliName(target)->extension;
}

// `command` started through /bin/sh, not waited for.
pid_t Spawn(const std::string& command) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        ::_exit(127);
    }
    return child;
}

// `wrapper` runs the program (prlimit, unshare).
std::string Convert(const std::string& folder, const std::string& args, const std::string& wrapper = "") {
    return "cd '" + folder + "' && " + wrapper + BinDir() + "/zelph-convert --quiet " + args;
}

// A `wrapper` for Convert whose run fails the system calls `failures` names
// ("ZELPH_FAIL_RENAME=17"), through the preloaded test library.
std::string FailingCalls(const std::string& failures) {
    return std::string("env LC_ALL=C LD_PRELOAD=") + ZELPH_FAILING_CALLS +
           " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" " + failures + " ";
}

// Files whose names show they are a run's temporary or partial files.
std::vector<std::string> RunFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().string().rfind("Temp-QOR-File~", 0) == 0) found.push_back(entry.path());
    return found;
}

class Faults : public ::testing::Test {
protected:
    Faults() { fs::create_directory(dir / "out"); }

    // The scratch folder emptied, but for a new out/.
    void Clear() {
        for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove_all(entry.path());
        fs::create_directory(dir / "out");
    }

    // `count` short WAVs of different lengths: s0.wav, s1.wav, ...
    void MakeSources(int count, double length = 0.6) {
        sources.clear();
        seconds.clear();
        for (int i = 0; i < count; ++i) {
            const std::string name = "s" + std::to_string(i) + ".wav";
            seconds.push_back(length + 0.1 * i);
            ASSERT_EQ(RunCommand("sox -n -r 22050 -c 2 -b 16 '" + dir / name + "' synth " +
                                 std::to_string(seconds.back()) + " sine 300-2000").status, 0);
            sources.push_back(name);
        }
    }

    // The output of `source` for `target` in `folder` (in the scratch folder).
    std::string OutputOf(const std::string& source, const std::string& target, const std::string& folder = "out/") const {
        return dir / (folder + source.substr(0, source.size() - 4) + ExtensionOf(target));
    }

    std::string SourceList() const {
        std::string list;
        for (const std::string& name : sources) list += " " + name;
        return list;
    }

    // Every source is still there, or its output is complete: the output
    // decodes whole and lasts as long as the source (within the encoders'
    // delay and padding). And no run file is left.
    void ExpectNothingLost(const std::string& target, const std::string& outputFolder) {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (Exists(dir / sources[i])) continue;
            const std::string output = OutputOf(sources[i], target, outputFolder);
            ASSERT_TRUE(Exists(output)) << sources[i] << " is gone without its output";
            EXPECT_NEAR(DecodedSeconds(output), seconds[i], 0.12) << output;
        }
        EXPECT_EQ(RunFilesIn(dir.path()), std::vector<std::string>{});
    }

    ScratchDir dir;
    std::vector<std::string> sources;
    std::vector<double> seconds;  // each source's length
};

}  // namespace

TEST_F(Faults, AFullDiskAtAnyPointLosesNothing) {
    MakeSources(2);
    // Beyond the file size limit every write fails, as on a full disk.
    for (const std::string& target : kTargets) {
        for (unsigned long limit : {0ul, 4096ul, 30000ul, 70000ul}) {
            SCOPED_TRACE(target + " limited to " + std::to_string(limit));
            for (const std::string& name : sources) WriteFile(OutputOf(name, target), "an older output");
            const auto run = RunCommand("prlimit --fsize=" + std::to_string(limit) + " sh -c \"" +
                                        Convert(dir.path(), "--jobs 2 --if-exists overwrite --delete-source --output-dir out --target " +
                                                                target + SourceList()) + "\"");
            for (const std::string& name : sources)
                if (Exists(dir / name)) { EXPECT_EQ(ReadFile(OutputOf(name, target)), "an older output") << name; }
            ExpectNothingLost(target, "out/");
            if (run.status != 0) {
                EXPECT_NE(run.out.find("Error Occured"), std::string::npos) << run.out;
            }
            // Every engine says a full disk in the same words.
            for (std::size_t at = 0; (at = run.out.find("Error Occured\t", at)) != std::string::npos; ++at)
                EXPECT_EQ(run.out.substr(run.out.find('\t', at + 14), 25), "\tcannot write: disk full\n") << run.out;
            MakeSources(2);
        }
    }
}

TEST_F(Faults, AKillAtAnyMomentLeavesNoPartialOutputAndTheNextRunCleansUp) {
    std::mt19937 random(20261208);
    for (int round = 0; round < static_cast<int>(kTargets.size()); ++round) {
        const std::string target = kTargets[round % kTargets.size()];
        SCOPED_TRACE(target);
        Clear();
        MakeSources(4, 1.5);
        const pid_t child = Spawn(Convert(dir.path(), "--jobs 2 --delete-source --output-dir out --target " + target +
                                                          SourceList(), "exec ") + " > /dev/null");
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 400));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        // Whatever stands under a final name is complete, and no source went without it.
        for (const std::string& name : sources) {
            const std::string output = OutputOf(name, target);
            if (Exists(output)) {
                EXPECT_GT(DecodedSeconds(output), 1.4) << output;
            } else {
                EXPECT_TRUE(Exists(dir / name)) << name << " deleted without its output";
            }
        }
        // The next run converts what is left and removes what the killed one
        // left behind; so does one that finds every output there to skip.
        const std::string next =
            Convert(dir.path(), "--jobs 2 --if-exists skip --output-dir out --target " + target + SourceList());
        RunCommand(next);
        EXPECT_EQ(RunFilesIn(dir.path()), std::vector<std::string>{});
        WriteFile(dir / "out/Temp-QOR-File~elsewhere~1~0", "a dead run's");
        EXPECT_EQ(RunCommand(next).out.find("Done"), std::string::npos) << "nothing was left to convert";
        EXPECT_EQ(RunFilesIn(dir.path()), std::vector<std::string>{});
    }
}

TEST_F(Faults, ConcurrentRunsIntoOneFolderNeverShareAFileOrLoseASource) {
    for (int runs : {2, 3}) {
        SCOPED_TRACE(std::to_string(runs) + " runs");
        Clear();
        MakeSources(6);
        std::vector<pid_t> children;
        for (int run = 0; run < runs; ++run) {
            // Overlapping sets: every run takes every source, each in its own order.
            std::string list;
            for (std::size_t i = 0; i < sources.size(); ++i) list += " " + sources[(i + run * 2) % sources.size()];
            children.push_back(Spawn(Convert(dir.path(), "--jobs 2 --delete-source --target ogg --output-dir out" +
                                             list) + " > /dev/null 2>&1"));
        }
        for (pid_t child : children) ::waitpid(child, nullptr, 0);
        // Every output in the folder is complete, and a source is gone only
        // when an output of it is there.
        for (const auto& entry : fs::directory_iterator(dir / "out"))
            if (entry.path().filename() != ".zelph-outputs") { EXPECT_GT(DecodedSeconds(entry.path()), 0.5) << entry.path(); }
        for (const std::string& name : sources)
            EXPECT_TRUE(Exists(dir / name) || Exists(dir / ("out/" + name.substr(0, 2) + ".ogg"))) << name;
        EXPECT_EQ(RunFilesIn(dir.path()), std::vector<std::string>{});
    }
}

namespace {

// A 3-s CBR MP3 with ID3 tags; with `cover`, a 1 MB front cover too.
std::string TaggedMp3(const ScratchDir& dir, const std::string& name, bool cover) {
    EXPECT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 '" + dir / "t.wav" + "' synth 3 sine 300-2000 && lame --quiet "
                         "--cbr -b 128 --tt Song --ta Artist '" + dir / "t.wav" + "' '" + dir / name + "'").status, 0);
    if (fs::remove(dir / "t.wav") && cover) {
        Tags tags{.fields = {{"TITLE", {"Song"}}}, .pictures = {TagPicture{}}};
        std::mt19937 random(7);
        for (int i = 0; i < 1000000; ++i) tags.pictures[0].data += static_cast<char>(random());
        EXPECT_EQ(WriteTags(dir / name, tags, kMpegTags).error, "");
    }
    return ReadFile(dir / name);
}

}  // namespace

TEST_F(Faults, AFullDiskDuringTheTagSaveFailsTheFileAndKeepsTheSourceAndTheOlderOutput) {
    const std::string song = TaggedMp3(dir, "song.mp3", true);
    for (const std::string& target : kTargets) {
        SCOPED_TRACE(target);
        const std::string output = OutputOf("song.mp3", target);
        WriteFile(output, "an older output");
        // The audio fits under the limit; the cover does not.
        const auto run = RunCommand(Convert(dir.path(), "--if-exists overwrite --delete-source --output-dir out --target " +
                                                            target + " song.mp3", "prlimit --fsize=700000 "));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "Error Occured\tsong.mp3\tcannot write: disk full\n");
        EXPECT_TRUE(ReadFile(dir / "song.mp3") == song) << "the source changed or went";
        EXPECT_TRUE(ReadFile(output) == "an older output") << "the older output was replaced";
        EXPECT_EQ(RunFilesIn(dir.path()), std::vector<std::string>{});
    }
}

TEST_F(Faults, AnOutputNotSurelyWholeOnTheDiskFailsTheFileWithItsOwnReasonAndKeepsTheSource) {
    // An output or a folder whose bytes or entries cannot be synced; a rename
    // that finds every one of its 100 names taken just as it tries them; an
    // output damaged as it is synced, after every write: cut, or with bytes of
    // its audio inverted, which only decoding it back finds in a lossless file.
    std::vector<std::tuple<std::string, std::string, std::string>> faults = {  // target, failure, reason
        {"flac", "ZELPH_FAIL_FILE_SYNC=" + std::to_string(EIO), "\tcannot write: Input/output error\n"},
        {"flac", "ZELPH_FAIL_FOLDER_SYNC=" + std::to_string(EIO), "\tcannot write: Input/output error\n"},
        {"flac", "ZELPH_FAIL_RENAME=" + std::to_string(EEXIST), " appeared meanwhile and was kept\n"},
    };
    for (const std::string& target : kTargets) {
        faults.emplace_back(target, "ZELPH_DAMAGE_OUTPUT=" + ExtensionOf(target) + ":cut", "");
        faults.emplace_back(target, "ZELPH_DAMAGE_OUTPUT=" + ExtensionOf(target) + ":flip", "\tverify: the output");
    }
    for (const auto& [target, failure, reason] : faults) {
        SCOPED_TRACE(target + " " + failure);
        Clear();
        MakeSources(1, 3.0);
        const auto run = RunCommand(Convert(dir.path(), "--if-exists rename --delete-source --output-dir out --target " +
                                                            target + " s0.wav", FailingCalls(failure)));
        const bool lossless = target == "wav" || target == "flac" || target == "ape";
        if (failure.ends_with("flip") && !lossless && !Exists(dir / "s0.wav")) {
            // A lossy decoder may hide damage inside its frames; what passed decodes whole.
            EXPECT_NEAR(DecodedSeconds(OutputOf("s0.wav", target)), 3.0, 0.05) << run.out;
            continue;
        }
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out.rfind("Error Occured\ts0.wav\t", 0), 0u) << run.out;
        EXPECT_NE(run.out.find(reason), std::string::npos) << run.out;
        EXPECT_TRUE(Exists(dir / "s0.wav")) << "the source went";
        // A damaged output never takes its name; a folder not synced may hold a complete one.
        if (failure.starts_with("ZELPH_DAMAGE")) { EXPECT_FALSE(Exists(OutputOf("s0.wav", target))); }
        EXPECT_EQ(RunFilesIn(dir.path()), std::vector<std::string>{});
    }
}

TEST_F(Faults, ASourceReplacedOrGrowingDuringTheBatchIsKept) {
    // A long last file keeps the batch open while the first two change.
    MakeSources(3, 1.0);
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 '" + dir / "long.wav" + "' synth 40 sine 500").status, 0);
    WriteFile(dir / "out/long.ogg", "an older output");
    const pid_t child = Spawn(Convert(dir.path(), "--jobs 1 --delete-source --if-exists overwrite --target ogg --output-dir out" +
                                                      SourceList() + " long.wav", "exec ") +
                              " > '" + dir / "log" + "' 2>&1");
    // Once s2.ogg is in place, the next partial .ogg run file is long.wav's:
    // its older output has been seen by then.
    auto longStarted = [&] {
        const std::vector<std::string> running = RunFilesIn(dir / "out");
        return Exists(dir / "out/s2.ogg") && std::any_of(running.begin(), running.end(), [](const std::string& name) {
                   return name.ends_with(".ogg");
               });
    };
    while (!longStarted() && ::waitpid(child, nullptr, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(child, SIGSTOP);
    const bool batchOpen = ReadFile(dir / "log").find("long.wav") == std::string::npos;
    // s0 replaced by another file under its name (a save or another run), s1
    // grown by a writer that had not finished it, s2 deleted by hand; the
    // older output long.wav is to replace saved anew.
    RunCommand("cd '" + dir.path() + "' && cp s1.wav new.wav && mv new.wav s0.wav && head -c 8820 /dev/urandom >> "
               "s1.wav && rm s2.wav && echo saved anew > out/long.ogg");
    ::kill(child, SIGCONT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(batchOpen) << "the batch ended before the sources changed";
    const std::string log = ReadFile(dir / "log");
    EXPECT_EQ(WEXITSTATUS(status), 1) << log;
    for (const std::string name : {"s0.wav", "s1.wav"}) {
        EXPECT_TRUE(Exists(dir / name)) << name;
        EXPECT_NE(log.find(name + " not deleted: changed during the conversion\n"), std::string::npos) << log;
    }
    EXPECT_NE(log.find("s2.wav not deleted: already gone\n"), std::string::npos) << log;
    EXPECT_NE(log.find("long.ogg changed during the conversion and was kept\n"), std::string::npos) << log;
    EXPECT_EQ(ReadFile(dir / "out/long.ogg"), "saved anew\n");
    EXPECT_TRUE(Exists(dir / "long.wav"));
}

TEST_F(Faults, DamagedOrEmptySourcesAreNeverADoneWithoutTheirAudio) {
    TaggedMp3(dir, "cbr.mp3", false);
    // Sources that hold no sample at all, of every kind a tool makes so.
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && touch tagonly.mp3 && id3v2 -t Title tagonly.mp3 && "
                         "sox -n -r 44100 -c 2 -b 16 empty.wav trim 0 0 && oggenc -Q empty.wav -o empty.ogg && "
                         "ffmpeg -v error -f s16le -ar 48000 -ac 2 -i /dev/null empty.flac && "
                         "ffmpeg -v error -f s16le -ar 48000 -ac 2 -i /dev/null -c:a libopus empty.opus").status, 0);
    // An Ogg Vorbis stream with a page in its middle damaged.
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && sox -n -r 44100 -c 2 -b 16 s.wav synth 3 sine 300-2000 && "
                         "oggenc -Q s.wav -o s.ogg && zzuf -r 0.01 -s 1 -b 6000-6100 < s.ogg > hole.ogg && rm s.*").status, 0);
    std::string list = " tagonly.mp3 empty.wav empty.ogg empty.flac empty.opus hole.ogg";
    for (int seed = 0; seed < 24; ++seed) {
        const char* ratio[] = {"0.02", "0.001", "0.0001"};
        ASSERT_EQ(RunCommand("zzuf -r " + std::string(ratio[seed % 3]) + " -s " + std::to_string(782035028 + seed) +
                             " < '" + dir / "cbr.mp3" + "' > '" + dir / ("z" + std::to_string(seed) + ".mp3") + "'").status, 0);
        list += " z" + std::to_string(seed) + ".mp3";
    }
    const auto run = RunCommand(Convert(dir.path(), "--delete-source --output-dir out --target wav" + list));
    EXPECT_NE(run.out.find("Error Occured\ttagonly.mp3\tnot an MPEG audio stream\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Error Occured\tempty.wav\tthe source holds no audio\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Done\thole.ogg\tdamaged: 1 packet skipped\n"), std::string::npos) << run.out;
    EXPECT_TRUE(Exists(dir / "hole.ogg"));
    for (const char* empty : {"empty.wav", "empty.ogg", "empty.flac", "empty.opus"}) {
        EXPECT_NE(run.out.find(std::string("Error Occured\t") + empty + "\t"), std::string::npos) << empty << run.out;
        EXPECT_TRUE(Exists(dir / empty)) << empty;
    }
    // A file that is Done without a word about damage lost nothing; any
    // other keeps its source.
    for (int seed = 0; seed < 24; ++seed) {
        const std::string name = "z" + std::to_string(seed);
        if (run.out.find("Done\t" + name + ".mp3\n") != std::string::npos) {
            EXPECT_NEAR(DecodedSeconds(dir / ("out/" + name + ".wav")), 3.0, 0.05) << name;
        } else {
            EXPECT_TRUE(Exists(dir / (name + ".mp3"))) << name;
        }
    }
    EXPECT_EQ(RunFilesIn(dir.path()), std::vector<std::string>{});
}

TEST_F(Faults, ARunInAnotherPidNamespaceLeavesALiveRunsFilesAlone) {
    if (RunCommand("unshare --pid --fork true 2>/dev/null").status != 0)
        GTEST_SKIP() << "no new PID namespace may be made here";
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 '" + dir / "long.wav" + "' synth 60 sine 500").status, 0);
    const pid_t live = Spawn(Convert(dir.path(), "--target ogg --output-dir out long.wav", "exec ") + " > '" +
                             dir / "log" + "'");
    while (RunFilesIn(dir / "out").empty() && ::waitpid(live, nullptr, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // Its process ID means nothing in the other namespace, whose run
    // cleans the folder up before it finds its one source missing.
    RunCommand(Convert(dir.path(), "--target ogg --output-dir out none.wav", "unshare --pid --fork "));
    ::waitpid(live, nullptr, 0);
    EXPECT_EQ(ReadFile(dir / "log"), "Done\tlong.wav\n");
    EXPECT_NEAR(DecodedSeconds(dir / "out/long.ogg"), 60, 0.1);
}

TEST_F(Faults, AClosedPipeEndsTheResultLinesButNotTheBatch) {
    MakeSources(3, 3.0);
    const auto run = RunCommand("bash -c \"" + Convert(dir.path(), "--delete-source --jobs 1 --target ogg" + SourceList()) +
                                " | head -1; echo \\${PIPESTATUS[0]}\"");
    EXPECT_EQ(run.out, "Done\ts0.wav\n0\n");
    ExpectNothingLost("ogg", "");
    for (const std::string& name : sources) EXPECT_FALSE(Exists(dir / name)) << name;
}

TEST_F(Faults, WhatIsNoFileOrWouldGetTooLongANameIsRefusedWithItsReason) {
    fs::create_directory(dir / "dir.wav");  // a folder: walked, and it holds no music
    ASSERT_EQ(::mkfifo((dir / "fifo.wav").c_str(), 0644), 0);  // an engine would wait on it for ever
    const std::string longName(251, 'x');  // fits as .wav, not as .opus
    WriteFile(dir / (longName + ".wav"), "refused before it is read");
    const auto run = RunCommand(Convert(dir.path(), "--delete-source --target opus dir.wav fifo.wav " + longName + ".wav",
                                        "timeout 60 "));
    EXPECT_EQ(run.out, "Error Occured\t" + longName + ".wav\tthe output's name " + longName.substr(0, 40) +
                           "... is longer than 255 bytes\nError Occured\tfifo.wav\tnot a regular file\n");
    EXPECT_TRUE(Exists(dir / (longName + ".wav")));
}

}  // namespace zelph::test
