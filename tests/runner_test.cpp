#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/runner.h"
#include "metadata/tags.h"
#include "tests/support/scratch.h"

using namespace zelph;
using zelph::test::Exists;
using zelph::test::ReadFile;
using zelph::test::ScratchDir;
using zelph::test::WriteFile;

namespace {

std::mutex g_logMutex;
std::vector<std::string> g_log;  // "ENGINE progress" per started job

void Log(const Job* job) {
    std::lock_guard lock(g_logMutex);
    g_log.push_back(job->engineId + " " + std::to_string(job->progress));
}

void Finish(Job* job, bool ok) {
    std::atomic_ref<int32_t>(job->succeeded).store(ok ? 1 : 0, std::memory_order_relaxed);
    std::atomic_ref<int32_t>(job->running).store(0, std::memory_order_release);
}

// Writes its target (or leaves an in-place job's source) and succeeds.
void Succeeding(Job* job) {
    Log(job);
    if (!job->targetPath.empty()) WriteFile(job->targetPath, "audio");
    std::atomic_ref<int32_t>(job->progress).store(job->progress + job->progressSpan);
    Finish(job, true);
}

// Leaves half an output behind and fails.
void Failing(Job* job) {
    Log(job);
    if (!job->targetPath.empty()) WriteFile(job->targetPath, "half");
    Finish(job, false);
}

// Works until it is asked to stop.
void Endless(Job* job) {
    Log(job);
    WriteFile(job->targetPath, "part");
    while (!std::atomic_ref<int32_t>(job->stopRequested).load(std::memory_order_acquire))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Finish(job, false);
}

// Succeeds without writing anything.
void Empty(Job* job) {
    Log(job);
    Finish(job, true);
}

struct Recorder : RunnerListener {
    std::map<int, std::vector<std::string>> rows;
    std::vector<std::string> status;
    std::vector<std::string> events;  // "tags ROW error" and "row ROW TEXT", in order
    void RowStatus(int row, const std::string& text) override {
        rows[row].push_back(text);
        events.push_back("row " + std::to_string(row) + " " + text);
    }
    void TagsCopied(int row, const TagCopyReport& report) override {
        events.push_back("tags " + std::to_string(row) + " " + report.error);
    }
    void StatusText(const std::string& text) override { status.push_back(text); }
    std::string Last(int row) { return rows[row].empty() ? "" : rows[row].back(); }
};

class Running : public ::testing::Test {
protected:
    Running() {
        ApplyDefaults(settings, dir.path());
        g_log.clear();
    }

    void Use(std::initializer_list<std::pair<const char*, EngineProc>> table) {
        engines.clear();
        for (auto [id, proc] : table) engines[id] = proc;
        runner = std::make_unique<JobRunner>(&settings, engines, recorder);
    }

    void Plan(const char* target, std::vector<std::string> names) {
        for (auto& name : names) name = dir / name;
        runner->PlanJobs(target, names);
    }

    // Ticks until the engine in hand is running or the run has finished.
    void Step() {
        runner->Tick();
        while (runner->engineRunning()) runner->endSignal()->WaitFor(std::chrono::seconds(5));
    }

    void RunToEnd() {
        ASSERT_TRUE(runner->Open());
        for (int guard = 0; !runner->finished() && guard < 100; ++guard) Step();
        ASSERT_TRUE(runner->finished());
    }

    ScratchDir dir;
    ConverterSettings settings{};
    EngineTable engines;
    Recorder recorder;
    std::unique_ptr<JobRunner> runner;
};

}  // namespace

TEST_F(Running, FilesRunTheirJobsInOrderAndEndDone) {
    Use({{kDecMp3, Succeeding}, {kEncWavPcm, Succeeding}, {kEncOggVorbis, Succeeding}});
    WriteFile(dir / "a.mp3", "src");
    Plan(kEncOggVorbis, {"a.mp3", "b.vqf", "c.wav"});
    RunToEnd();
    EXPECT_EQ(g_log, (std::vector<std::string>{"DECMP3 0", "ENCWAVPCM 30", "ENCOGGVORBIS 40",
                                               "ENCWAVPCM 0", "ENCOGGVORBIS 10"}));
    EXPECT_EQ(recorder.rows[0], std::vector<std::string>{"Done"});
    EXPECT_TRUE(recorder.rows[1].empty());
    EXPECT_EQ(recorder.Last(2), "Done");
    EXPECT_EQ(recorder.status, (std::vector<std::string>{"Starting Engine...", "Converting File 1 of 3",
                                                         "Converting File 3 of 3"}));
    EXPECT_EQ(runner->progress(), 100);
    EXPECT_FALSE(Exists(dir / "Temp-QOR-File"));
    EXPECT_TRUE(Exists(dir / "a.mp3")) << "sources stay unless asked";
}

TEST_F(Running, FailedStepDropsTheRestOfItsFileAndItsPartialOutput) {
    Use({{kDecMp3, Failing}, {kEncWavPcm, Succeeding}, {kEncMp3Lame, Failing}});
    settings.general.existingFileAction = 1;
    WriteFile(dir / "kept.mp3", "old song");  // the output a failed decoder never reached
    Plan(kEncMp3Lame, {"kept.mp3", "b.wav"});
    RunToEnd();
    EXPECT_EQ(g_log, (std::vector<std::string>{"DECMP3 0", "ENCWAVPCM 0", "ENCMP3LAME 10"}));
    EXPECT_EQ(recorder.Last(0), "Error Occured");
    EXPECT_EQ(recorder.Last(1), "Error Occured");
    EXPECT_EQ(ReadFile(dir / "kept(1).mp3"), "") << "not planned over its own source";
    EXPECT_EQ(ReadFile(dir / "kept.mp3"), "old song");
    EXPECT_FALSE(Exists(dir / "b.mp3")) << "the half-written output is removed";
}

TEST_F(Running, UnknownEngineFailsItsFile) {
    Use({{kEncWavPcm, Succeeding}});
    Plan(kEncOggVorbis, {"a.wav", "b.wav"});
    RunToEnd();
    EXPECT_EQ(recorder.Last(0), "Error Occured");
    EXPECT_EQ(recorder.Last(1), "Error Occured");
}

TEST_F(Running, SkipThisCancelsOnlyTheCurrentFile) {
    Use({{kDecOggVorbis, Succeeding}, {kEncWavPcm, Endless}, {kEncApeMonkey, Succeeding}});
    Plan(kEncApeMonkey, {"a.ogg", "b.ogg"});
    ASSERT_TRUE(runner->Open());
    Step();  // decoder of a.ogg
    runner->Tick();  // its preparing step, which never ends on its own
    ASSERT_TRUE(runner->engineRunning());
    runner->SkipThis();
    EXPECT_FALSE(runner->engineRunning());
    EXPECT_EQ(recorder.Last(0), "Cancelled");
    EXPECT_EQ(runner->progress(), 0);
    EXPECT_FALSE(runner->finished());

    Step();  // b.ogg starts without a "Done" for a.ogg
    runner->Tick();
    ASSERT_TRUE(runner->engineRunning());
    runner->SkipThis();  // the last file: the run finishes
    EXPECT_TRUE(runner->finished());
    EXPECT_EQ(recorder.rows[0], std::vector<std::string>{"Cancelled"});
    EXPECT_EQ(recorder.Last(1), "Cancelled");
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "ENCAPEMONKEY 40"), 0);
    EXPECT_FALSE(Exists(dir / "Temp-QOR-File"));
}

TEST_F(Running, CloseRequestCancelsEverythingAndCleansUp) {
    Use({{kEncWavPcm, Endless}, {kEncOggVorbis, Succeeding}});
    WriteFile(dir / "Temp-QOR-File", "a user's file that only looks like ours");
    Plan(kEncOggVorbis, {"1.wav", "2.wav", "3.wav", "4.wav"});
    ASSERT_TRUE(runner->Open());
    runner->Tick();
    runner->CloseRequest();
    EXPECT_TRUE(runner->finished());
    for (int row = 0; row < 4; ++row) EXPECT_EQ(recorder.Last(row), "Cancelled") << row;
    EXPECT_FALSE(Exists(dir / "Temp-QOR-File(1)"));
    EXPECT_EQ(ReadFile(dir / "Temp-QOR-File"), "a user's file that only looks like ours");
}

TEST_F(Running, DeleteSourceOnlyAfterAVerifiedOutput) {
    Use({{kEncWavPcm, Succeeding}, {kDecMp3, Failing}, {kDecOggVorbis, Succeeding},
         {kEncOggVorbis, Empty}});
    settings.general.afterOperation = 2;
    for (const char* name : {"good.wav", "bad.mp3", "hollow.ogg"}) WriteFile(dir / name, "src");
    Plan(kEncWavPcm, {"good.wav", "bad.mp3"});
    RunToEnd();
    EXPECT_FALSE(Exists(dir / "good.wav"));
    EXPECT_EQ(ReadFile(dir / "good(1).wav"), "audio");
    EXPECT_TRUE(Exists(dir / "bad.mp3"));

    Plan(kEncOggVorbis, {"hollow.ogg"});  // its encoder "succeeds" without writing
    RunToEnd();
    EXPECT_EQ(recorder.Last(0), "Done");
    EXPECT_TRUE(Exists(dir / "hollow.ogg")) << "a missing output does not justify deleting";
}

TEST_F(Running, EndOfAnEngineWakesTheDriver) {
    Use({{kEncWavPcm, Succeeding}});
    Plan(kEncWavPcm, {"a.wav"});
    ASSERT_TRUE(runner->Open());
    runner->Tick();
    EXPECT_TRUE(runner->endSignal()->WaitFor(std::chrono::seconds(10)));
    EXPECT_FALSE(runner->engineRunning());
}

TEST_F(Running, NothingPlannedIsReported) {
    Use({});
    Plan(kEncWavPcm, {"a.mp2"});
    EXPECT_FALSE(runner->Open());
    EXPECT_TRUE(recorder.rows.empty());
}

TEST_F(Running, AFailedTagWriteFailsTheFileBeforeItIsDone) {
    ASSERT_EQ(zelph::test::RunCommand("sox -n -r 8000 -c 1 -b 16 " + dir / "song.wav" + " synth 0.1 sine 440").status, 0);
    ASSERT_EQ(WriteTags(dir / "song.wav", Tags{{{"TITLE", {"Song"}}}, {}}).error, "");
    // The engines leave an output TagLib cannot take tags into.
    Use({{kEncWavPcm, Succeeding}, {kEncOggVorbis, Succeeding}});
    Plan(kEncOggVorbis, {"song.wav"});
    RunToEnd();
    ASSERT_EQ(recorder.events.size(), 2u);
    EXPECT_NE(recorder.events[0], "tags 0 ") << "a reason is given";
    EXPECT_EQ(recorder.events[1], "row 0 Error Occured");
    EXPECT_FALSE(Exists(dir / "song.ogg"));

    // Without Copy Tags the same run is done and nothing is read or written.
    recorder.events.clear();
    runner->options.copyTags = false;
    Plan(kEncOggVorbis, {"song.wav"});
    RunToEnd();
    EXPECT_EQ(recorder.events, std::vector<std::string>{"row 0 Done"});
}
