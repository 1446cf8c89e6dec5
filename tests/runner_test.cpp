#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <tuple>

#include "codecs/apeengines.h"
#include "codecs/engine.h"
#include "codecs/flacdecoder.h"
#include "codecs/mp3decoder.h"
#include "codecs/mp3lameencoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/oggencoder.h"
#include "codecs/wavpcmengine.h"
#include "core/cuesheet.h"
#include "core/naming.h"
#include "core/runfiles.h"
#include "core/runner.h"
#include "core/targets.h"
#include "metadata/tags.h"
#include "metadata/wavetags.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {

namespace {

std::mutex g_logMutex;
std::vector<std::string> g_log;  // "ENGINE progress" per started job

void Log(const Job& job) {
    std::lock_guard lock(g_logMutex);
    g_log.push_back(std::string(EngineName(job.engine)) + " " + std::to_string(job.progressStart));
}

// The log as it stands; engine threads may still be writing to it.
std::vector<std::string> Logged() {
    std::lock_guard lock(g_logMutex);
    return g_log;
}

void Finish(JobState& state, bool ok) {
    state.succeeded.store(ok ? 1 : 0, std::memory_order_relaxed);
    state.running.store(0, std::memory_order_release);
}

// Writes its target (or leaves an in-place job's source) and succeeds.
void Succeeding(const Job& job, JobState& state) {
    Log(job);
    if (!job.targetPath.empty()) WriteFile(job.targetPath, FakeAudio(job.targetPath));
    state.progress.store(job.progressStart + job.progressSpan);
    Finish(state, true);
}

// Leaves half an output behind and fails, saying why.
void Failing(const Job& job, JobState& state) {
    Log(job);
    if (!job.targetPath.empty()) WriteFile(job.targetPath, "half");
    state.reason = "cannot read " + job.sourcePath + " or write " + job.targetPath;
    Finish(state, false);
}

std::atomic<int> g_endlessRunning{0};

// Works until it is asked to stop.
void Endless(const Job& job, JobState& state) {
    ++g_endlessRunning;
    Log(job);
    WriteFile(job.targetPath, "part");
    while (!state.stopRequested.load(std::memory_order_acquire))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    --g_endlessRunning;
    Finish(state, false);
}

// Succeeds without writing anything.
void Empty(const Job& job, JobState& state) {
    Log(job);
    Finish(state, true);
}

std::atomic<bool> g_lastReleased{false};

// A WAV that TagLib can tag.
std::string SilentWav() { return CraftedWav(1, 8000, 16, std::string(1600, '\0')); }

// Writes a SilentWav; the file called "last.wav" waits to be released.
void WritesWav(const Job& job, JobState& state) {
    while (job.sourcePath.ends_with("last.wav") && !g_lastReleased && !state.stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    WriteFile(job.targetPath, SilentWav());
    Finish(state, true);
}

std::atomic<int> g_imageDecodes{0};
std::atomic<bool> g_decodeReleased{false}, g_decodeStopped{false};

// Decodes an image to a SilentWav once released; fails when asked to stop
// and when the image is "bad.flac".
void GatedImageDecode(const Job& job, JobState& state) {
    ++g_imageDecodes;
    while (!g_decodeReleased && !state.stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_decodeStopped = state.stopRequested.load();
    const bool decoded = !g_decodeStopped && !job.sourcePath.ends_with("bad.flac");
    state.reason = decoded ? "" : "cannot decode";
    if (decoded) WriteFile(job.targetPath, SilentWav());
    Finish(state, decoded);
}

// Each output metered as a second of tone, at half scale for a source
// called "loud...", at 1/20 for any other.
CheckedOutput MeteredBySource(const std::string&, const std::string& source, const OutputCheck& check) {
    CheckedOutput checked{.problem = "", .meter = std::make_unique<LoudnessMeter>(1, 8000, check.truePeak)};
    const float level = FileNameOf(source).starts_with("loud") ? 0.5f : 0.05f;
    std::vector<float> tone(8000);
    for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = level * std::sin(0.3456f * static_cast<float>(i));
    checked.meter->Add(tone);
    return checked;
}

struct Recorder : RunnerListener {
    std::map<uint32_t, std::vector<std::string>> rows;
    std::map<uint32_t, std::string> reasons;
    std::vector<std::string> status;
    std::vector<std::string> events;  // "tags ROW error" and "row ROW TEXT", in order
    void RowStatus(uint32_t row, const std::string& text, const std::string& reason) override {
        rows[row].push_back(text);
        reasons[row] = reason;
        events.push_back("row " + std::to_string(row) + " " + text);
    }
    void TagsCopied(uint32_t row, const TagCopyReport& report) override {
        events.push_back("tags " + std::to_string(row) + " " + report.error);
    }
    void StatusText(const std::string& text) override { status.push_back(text); }
    std::string Last(uint32_t row) { return rows[row].empty() ? "" : rows[row].back(); }
};

class Running : public ::testing::Test {
protected:
    Running() {
        ApplyDefaults(settings, dir.path());
        std::lock_guard lock(g_logMutex);
        g_log.clear();
    }

    void Use(std::initializer_list<std::pair<EngineId, EngineProc>> table) {
        engines.clear();
        for (auto [id, proc] : table) engines[id] = proc;
        runner = std::make_unique<JobRunner>(engines, recorder);
    }

    void Plan(int32_t target, std::vector<std::string> names) {
        for (auto& name : names) name = dir / name;
        plan = PlanJobs(settings, tuning, target, names);
    }

    // The stand-in engines write no real audio to decode back.
    static CheckedOutput Matches(const std::string&, const std::string&, const OutputCheck&) { return {}; }
    CheckedOutput (*checkOutput)(const std::string&, const std::string&, const OutputCheck&) = Matches;

    bool Open(unsigned filesAtOnce = 1) {
        return runner->Open(std::move(plan), {.afterOperation = settings.general.afterOperation,
                                              .existingFileAction = settings.general.existingFileAction,
                                              .filesAtOnce = filesAtOnce,
                                              .copyTags = copyTags,
                                              .loudness = loudness,
                                              .checkOutput = checkOutput});
    }

    // One tick, then a wait while an engine runs.
    void Step() {
        runner->Tick();
        if (runner->engineRunning()) runner->endSignal().WaitFor(std::chrono::milliseconds(200));
    }

    // Steps until `done` holds (at most `steps`, a few seconds by default).
    void StepUntil(const std::function<bool()>& done, int steps = 100) {
        for (int guard = 0; !done() && guard < steps; ++guard) Step();
        ASSERT_TRUE(done());
    }

    void TickToEnd() { StepUntil([&] { return runner->finished(); }, 1000); }

    void RunToEnd(unsigned filesAtOnce = 1) {
        ASSERT_TRUE(Open(filesAtOnce));
        TickToEnd();
    }

    ScratchDir dir;
    ConverterSettings settings{};
    TargetTuning tuning{};
    EngineTable engines;
    Recorder recorder;
    BatchPlan plan;
    bool copyTags = true;
    LoudnessMode loudness = LoudnessMode::kOff;
    std::unique_ptr<JobRunner> runner;
};

}  // namespace

TEST_F(Running, FilesRunTheirJobsInOrderAndEndDone) {
    Use({{&kDecMp3, Succeeding}, {&kEncWavPcm, Succeeding}, {&kEncOggVorbis, Succeeding}});
    WriteFile(dir / "a.mp3", "src");
    WriteFile(dir / "c.wav", "src");
    Plan(kTargetOgg, {"a.mp3", "b.vqf", "c.wav"});
    RunToEnd();
    EXPECT_EQ(Logged(), (std::vector<std::string>{"DECMP3 0", "ENCWAVPCM 30", "ENCOGGVORBIS 40",
                                               "ENCWAVPCM 0", "ENCOGGVORBIS 10"}));
    EXPECT_EQ(recorder.rows[0], std::vector<std::string>{"Done"});
    EXPECT_TRUE(recorder.rows[1].empty());
    EXPECT_EQ(recorder.Last(2), "Done");
    EXPECT_EQ(recorder.status, (std::vector<std::string>{"Starting Engine...", "Converting File 1 of 3",
                                                         "Converting File 3 of 3"}));
    EXPECT_EQ(runner->progress(), 100);
    EXPECT_EQ(ReadFile(dir / "a.ogg"), FakeAudio("a.ogg"));
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"a.mp3", "a.ogg", "c.ogg", "c.wav"}))
        << "no temporary or partial file stays, and sources stay unless asked";
}

// A failed step, or one whose engine the table lacks (the Ogg decoder), ends
// its file with its reason.
TEST_F(Running, AFailedStepEndsItsFileWithItsReasonAndTouchesNoExistingFile) {
    Use({{&kDecMp3, Failing}, {&kEncWavPcm, Succeeding}, {&kEncMp3Lame, Failing}});
    settings.general.existingFileAction = ExistingFileAction::kOverwrite;
    WriteFile(dir / "kept.mp3", "old song");
    WriteFile(dir / "b.mp3", "an older b");
    WriteFile(dir / "b.wav", "src");
    WriteFile(dir / "c.ogg", "src");
    Plan(kTargetLame, {"kept.mp3", "b.wav", "c.ogg"});
    RunToEnd();
    EXPECT_EQ(Logged(), (std::vector<std::string>{"DECMP3 0", "ENCWAVPCM 0", "ENCMP3LAME 10"}));
    EXPECT_EQ(recorder.Last(0), "Error Occured");
    EXPECT_EQ(recorder.Last(1), "Error Occured");
    EXPECT_EQ(recorder.reasons[1], "cannot read b.wav or write b.mp3") << "run files' names never show";
    EXPECT_EQ(recorder.Last(2), "Error Occured");
    EXPECT_NE(recorder.reasons[2].find("DECOGGVORBIS"), std::string::npos) << recorder.reasons[2];
    EXPECT_EQ(ReadFile(dir / "kept.mp3"), "old song");
    EXPECT_EQ(ReadFile(dir / "b.mp3"), "an older b") << "a failed overwrite leaves the old file";
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"b.mp3", "b.wav", "c.ogg", "kept.mp3"}));
}

TEST_F(Running, SkipThisCancelsOnlyTheFileItNames) {
    Use({{&kDecOggVorbis, Succeeding}, {&kEncWavPcm, Endless}, {&kEncApeMonkey, Succeeding}});
    Plan(kTargetApe, {"a.ogg", "b.ogg"});
    ASSERT_TRUE(Open());
    Step();  // decoder of a.ogg
    Step();  // its preparing step, which never ends on its own
    ASSERT_TRUE(runner->engineRunning());
    runner->SkipThis();
    StepUntil([&] { return recorder.Last(0) == "Cancelled"; });
    EXPECT_FALSE(runner->finished());

    StepUntil([&] { return Logged().size() == 4; });  // b.ogg: decoded, then its preparing step
    ASSERT_TRUE(runner->engineRunning());
    runner->SkipFile(1);  // the last file: the run finishes
    TickToEnd();
    EXPECT_EQ(recorder.rows[0], std::vector<std::string>{"Cancelled"});
    EXPECT_EQ(recorder.Last(1), "Cancelled");
    EXPECT_EQ(std::ranges::count(Logged(), "ENCAPEMONKEY 40"), 0);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{});
}

TEST_F(Running, SkippingATrackHeldForItsAlbumDropsItsOutputAndLeavesItOutOfTheAlbumGain) {
    Use({{&kEncWavPcm, WritesWav}});
    for (const char* name : {"loud.wav", "quiet.wav", "last.wav"}) WriteFile(dir / name, SilentWav());
    loudness = LoudnessMode::kAlbum;
    checkOutput = MeteredBySource;
    g_lastReleased = false;
    Plan(kTargetWav, {"loud.wav", "quiet.wav", "last.wav"});
    ASSERT_TRUE(Open());
    // The first two are complete and held once their tags are told.
    StepUntil([&] { return recorder.events.size() == 2; });
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"tags 0 ", "tags 1 "}));
    runner->SkipFile(0);
    EXPECT_EQ(recorder.Last(0), "Cancelled");
    g_lastReleased = true;
    TickToEnd();
    EXPECT_EQ(recorder.Last(1), "Done");
    EXPECT_EQ(recorder.Last(2), "Done");
    EXPECT_FALSE(Exists(dir / "loud(1).wav"));
    // Two alike tracks: the album plays as each of them, without the loud one.
    const Tags tags = ReadTags(dir / "quiet(1).wav", kWaveTags).tags;
    EXPECT_EQ(tags.fields.at("REPLAYGAIN_ALBUM_GAIN"), tags.fields.at("REPLAYGAIN_TRACK_GAIN"));
}

// A close request cancels every file and removes the run's own files. Of
// the run files it finds, whatever host and process their names claim, only
// the lock tells: one another run holds stays, one nobody holds goes; a
// user's file or a folder that only looks like one stays.
TEST_F(Running, CloseRequestCancelsEverythingAndOnlyRunFilesNoLiveRunHoldsGo) {
    Use({{&kEncWavPcm, Endless}, {&kEncOggVorbis, Succeeding}});
    const RunFile live = CreateRunFile(dir.path(), ".mp3");
    WriteFile(dir / "Temp-QOR-File~another-host~1~0", "x");
    std::filesystem::create_directory(dir / "Temp-QOR-File~folder");
    WriteFile(dir / "Temp-QOR-File", "a user's file that only looks like ours");
    Plan(kTargetOgg, {"1.wav", "2.wav", "3.wav", "4.wav"});
    ASSERT_TRUE(Open(2));
    Step();
    ASSERT_EQ(runner->runningFiles().size(), 2u);
    runner->CloseRequest();
    TickToEnd();
    for (uint32_t row = 0; row < 4; ++row) EXPECT_EQ(recorder.Last(row), "Cancelled") << row;
    std::vector<std::string> kept = {"Temp-QOR-File", "Temp-QOR-File~folder", FileNameOf(live.path)};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(FilesIn(dir.path()), kept);
    EXPECT_EQ(ReadFile(dir / "Temp-QOR-File"), "a user's file that only looks like ours");
}

TEST_F(Running, FilesRunSideBySideAndEachEndsOnItsOwn) {
    Use({{&kDecApeMonkey, Endless}, {&kDecMp3, Succeeding}, {&kEncWavPcm, Succeeding}});
    Plan(kTargetWav, {"slow.ape", "a.mp3", "b.mp3"});
    ASSERT_TRUE(Open(2));
    // The slow file holds one place; the others pass it on the other. A file
    // being finished gives up its place, so the two may end in either order.
    StepUntil([&] {
        return recorder.Last(1) == "Done" && recorder.Last(2) == "Done" && runner->runningFiles().size() == 1;
    });
    EXPECT_TRUE(recorder.rows[0].empty());
    EXPECT_EQ(runner->runningFiles()[0].row, 0u);
    runner->SkipThis();
    TickToEnd();
    EXPECT_EQ(recorder.Last(0), "Cancelled");
}

TEST_F(Running, AnOutputFolderThatCannotBeWrittenFailsItsFilesBeforeAnyEngine) {
    Use({{&kEncWavPcm, Succeeding}, {&kEncOggVorbis, Succeeding}});
    settings.general.outputFolderMode = OutputFolderMode::kInFolder;
    SetOutputFolder(settings.general, dir / "missing");
    Plan(kTargetOgg, {"a.wav", "b.wav"});
    RunToEnd();
    EXPECT_TRUE(Logged().empty());
    for (uint32_t row : {0u, 1u}) {
        EXPECT_EQ(recorder.Last(row), "Error Occured");
        EXPECT_NE(recorder.reasons[row].find("missing"), std::string::npos) << recorder.reasons[row];
    }
}

TEST_F(Running, DeleteSourceOnlyAfterAVerifiedOutput) {
    Use({{&kEncWavPcm, Succeeding}, {&kDecMp3, Failing}, {&kDecOggVorbis, Succeeding},
         {&kEncOggVorbis, Empty}});
    settings.general.afterOperation = AfterOperation::kDeleteSource;
    for (const char* name : {"good.wav", "bad.mp3", "hollow.ogg", "differs.wav"}) WriteFile(dir / name, "src");
    // Deleting sources always decodes the outputs back; one that does not match keeps its source.
    checkOutput = [](auto&, auto&, auto&) { return CheckedOutput{"verify: differs", nullptr}; };
    Plan(kTargetWav, {"differs.wav"});
    RunToEnd();
    EXPECT_EQ(recorder.reasons[0], "verify: differs");
    EXPECT_TRUE(Exists(dir / "differs.wav"));
    checkOutput = Matches;

    Plan(kTargetWav, {"good.wav", "bad.mp3"});
    RunToEnd();
    EXPECT_FALSE(Exists(dir / "good.wav"));
    EXPECT_EQ(ReadFile(dir / "good(1).wav"), FakeAudio("a.wav"));
    EXPECT_TRUE(Exists(dir / "bad.mp3"));

    Plan(kTargetOgg, {"hollow.ogg"});  // its encoder "succeeds" without writing
    RunToEnd();
    EXPECT_EQ(recorder.Last(0), "Error Occured");
    EXPECT_EQ(recorder.reasons[0], "ENCOGGVORBIS wrote no output");
    EXPECT_TRUE(Exists(dir / "hollow.ogg")) << "an empty output does not justify deleting";
}

// One file at a time: the next file starts while the one before still
// finishes its output, and rows end in their order all the same, a next
// file that fails at once included.
TEST_F(Running, OneAtATimeRowsEndInOrder) {
    Use({{&kEncWavPcm, Succeeding}});
    std::filesystem::create_directory(dir / "b.wav");
    Plan(kTargetWav, {"a.wav", "b.wav", "c.wav"});
    RunToEnd();
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"tags 0 ", "row 0 Done", "row 1 Error Occured", "tags 2 ",
                                                         "row 2 Done"}));
}

TEST_F(Running, NoEngineOutlivesItsRunner) {
    Use({{&kEncWavPcm, Endless}});
    Plan(kTargetWav, {"a.wav"});
    ASSERT_TRUE(Open());
    runner->Tick();
    ASSERT_TRUE(runner->engineRunning());
    runner.reset();  // asks the engine to stop and waits for its thread
    EXPECT_EQ(g_endlessRunning, 0);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{}) << "its run files go with it";
}

TEST_F(Running, AFailedTagWriteFailsTheFileBeforeItIsDone) {
    ASSERT_EQ(RunCommand("sox -n -r 8000 -c 1 -b 16 " + dir / "song.wav" + " synth 0.1 sine 440").status, 0);
    ASSERT_EQ(WriteTags(dir / "song.wav", Tags{{{"TITLE", {"Song"}}}, {}}, kWaveTags).error, "");
    // The engines leave an output TagLib cannot take tags into.
    Use({{&kEncWavPcm, Succeeding}, {&kEncOggVorbis, Succeeding}});
    Plan(kTargetOgg, {"song.wav"});
    RunToEnd();
    ASSERT_EQ(recorder.events.size(), 2u);
    EXPECT_NE(recorder.events[0], "tags 0 ") << "a reason is given";
    EXPECT_EQ(recorder.events[1], "row 0 Error Occured");
    EXPECT_FALSE(Exists(dir / "song.ogg"));

    // Without Copy Tags the same run is done and nothing is read or written.
    recorder.events.clear();
    copyTags = false;
    Plan(kTargetOgg, {"song.wav"});
    RunToEnd();
    EXPECT_EQ(recorder.events, std::vector<std::string>{"row 0 Done"});
}

// The tracks of a CD image, two at a time, share one decode of it, whose
// failure fails them all; a skipped track stops it only when no other track
// needs it. No run file stays.
TEST_F(Running, TheTracksOfAnImageShareOneDecode) {
    engines = StandardEngines();
    engines[&kDecFlac] = GatedImageDecode;
    runner = std::make_unique<JobRunner>(engines, recorder);
    copyTags = false;
    settings.general.existingFileAction = ExistingFileAction::kOverwrite;
    // The image, its tracks, whether the first is skipped, and how it and the others end.
    const std::tuple<std::string, uint32_t, bool, const char*, const char*> cases[] = {
        {"good.flac", 3, false, kRowDone, kRowDone}, {"bad.flac", 3, false, kRowError, kRowError},
        {"good.flac", 3, true, kRowCancelled, kRowDone}, {"good.flac", 1, true, kRowCancelled, ""}};
    for (const auto& [image, tracks, skip, first, others] : cases) {
        SCOPED_TRACE(image + std::to_string(tracks) + (skip ? " skipped" : ""));
        g_imageDecodes = 0;
        g_decodeReleased = false;
        WriteFile(dir / image, "");
        std::string sheet = "FILE \"" + image + "\" WAVE\n";
        std::vector<std::string> entries;
        for (uint32_t n = 1; n <= tracks; ++n) {
            sheet += " TRACK 0" + std::to_string(n) + " AUDIO\n  INDEX 01 00:00:0" + std::to_string(3 * n - 3) + "\n";
            entries.push_back(TrackEntry(dir / "Album.cue", static_cast<int>(n)));
        }
        WriteFile(dir / "Album.cue", sheet);
        plan = PlanJobs(settings, tuning, kTargetWav, entries);
        ASSERT_TRUE(Open(2));
        StepUntil([] { return g_imageDecodes == 1; });
        if (skip) runner->SkipFile(0);
        g_decodeReleased = true;
        TickToEnd();
        EXPECT_EQ(g_imageDecodes, 1);
        EXPECT_EQ(g_decodeStopped, tracks == 1);
        for (uint32_t row = 0; row < tracks; ++row) {
            EXPECT_EQ(recorder.Last(row), row ? others : first) << row;
            EXPECT_EQ(recorder.reasons[row], first == kRowError ? "cannot decode" : "") << row;
        }
        EXPECT_EQ(RunCommand("ls " + dir.path() + " | grep -c Temp-").out, "0\n");
    }
}

}  // namespace zelph::test
