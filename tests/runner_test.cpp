#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/runner.h"
#include "tests/support/scratch.h"

using namespace zelph;
using zelph::test::Exists;
using zelph::test::ReadFile;
using zelph::test::ScratchDir;
using zelph::test::WriteFile;

namespace {

std::mutex g_logMutex;
std::vector<std::string> g_log;  // "ENGINE progress" per started job

void Log(const Job& job) {
    std::lock_guard lock(g_logMutex);
    g_log.push_back(std::string(EngineName(job.engine)) + " " + std::to_string(job.progressStart));
}

void Finish(JobState& state, bool ok) {
    state.succeeded.store(ok ? 1 : 0, std::memory_order_relaxed);
    state.running.store(0, std::memory_order_release);
}

// Writes its target (or leaves an in-place job's source) and succeeds.
void Succeeding(const Job& job, JobState& state) {
    Log(job);
    if (!job.targetPath.empty()) WriteFile(job.targetPath, "audio");
    state.progress.store(job.progressStart + job.progressSpan);
    Finish(state, true);
}

// Leaves half an output behind and fails.
void Failing(const Job& job, JobState& state) {
    Log(job);
    if (!job.targetPath.empty()) WriteFile(job.targetPath, "half");
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

struct Recorder : RunnerListener {
    std::map<int, std::vector<std::string>> rows;
    std::vector<std::string> status;
    void RowStatus(int row, const std::string& text) override { rows[row].push_back(text); }
    void StatusText(const std::string& text) override { status.push_back(text); }
    std::string Last(int row) { return rows[row].empty() ? "" : rows[row].back(); }
};

class Running : public ::testing::Test {
protected:
    Running() {
        ApplyDefaults(settings, dir.path());
        g_log.clear();
    }

    void Use(std::initializer_list<std::pair<EngineId, EngineProc>> table) {
        engines.clear();
        for (auto [id, proc] : table) engines[id] = proc;
        runner = std::make_unique<JobRunner>(engines, recorder);
    }

    void Plan(int32_t target, std::vector<std::string> names) {
        for (auto& name : names) name = dir / name;
        plan = PlanJobs(settings, target, names);
    }

    bool Open() { return runner->Open(std::move(plan), settings.general.afterOperation); }

    // Ticks until the engine in hand is running or the run has finished.
    void Step() {
        runner->Tick();
        while (runner->engineRunning()) runner->endSignal().WaitFor(std::chrono::seconds(5));
    }

    void RunToEnd() {
        ASSERT_TRUE(Open());
        for (int guard = 0; !runner->finished() && guard < 100; ++guard) Step();
        ASSERT_TRUE(runner->finished());
    }

    ScratchDir dir;
    ConverterSettings settings{};
    EngineTable engines;
    Recorder recorder;
    BatchPlan plan;
    std::unique_ptr<JobRunner> runner;
};

}  // namespace

TEST_F(Running, FilesRunTheirJobsInOrderAndEndDone) {
    Use({{EngineId::kDecMp3, Succeeding}, {EngineId::kEncWavPcm, Succeeding}, {EngineId::kEncOggVorbis, Succeeding}});
    WriteFile(dir / "a.mp3", "src");
    Plan(kTargetOgg, {"a.mp3", "b.vqf", "c.wav"});
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
    Use({{EngineId::kDecMp3, Failing}, {EngineId::kEncWavPcm, Succeeding}, {EngineId::kEncMp3Lame, Failing}});
    settings.general.existingFileAction = ExistingFileAction::kOverwrite;
    WriteFile(dir / "kept.mp3", "old song");  // the output a failed decoder never reached
    Plan(kTargetLame, {"kept.mp3", "b.wav"});
    RunToEnd();
    EXPECT_EQ(g_log, (std::vector<std::string>{"DECMP3 0", "ENCWAVPCM 0", "ENCMP3LAME 10"}));
    EXPECT_EQ(recorder.Last(0), "Error Occured");
    EXPECT_EQ(recorder.Last(1), "Error Occured");
    EXPECT_EQ(ReadFile(dir / "kept(1).mp3"), "") << "not planned over its own source";
    EXPECT_EQ(ReadFile(dir / "kept.mp3"), "old song");
    EXPECT_FALSE(Exists(dir / "b.mp3")) << "the half-written output is removed";
}

TEST_F(Running, UnknownEngineFailsItsFile) {
    Use({{EngineId::kEncWavPcm, Succeeding}});
    Plan(kTargetOgg, {"a.wav", "b.wav"});
    RunToEnd();
    EXPECT_EQ(recorder.Last(0), "Error Occured");
    EXPECT_EQ(recorder.Last(1), "Error Occured");
}

TEST_F(Running, SkipThisCancelsOnlyTheCurrentFile) {
    Use({{EngineId::kDecOggVorbis, Succeeding}, {EngineId::kEncWavPcm, Endless}, {EngineId::kEncApeMonkey, Succeeding}});
    Plan(kTargetApe, {"a.ogg", "b.ogg"});
    ASSERT_TRUE(Open());
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
    Use({{EngineId::kEncWavPcm, Endless}, {EngineId::kEncOggVorbis, Succeeding}});
    WriteFile(dir / "Temp-QOR-File", "a user's file that only looks like ours");
    Plan(kTargetOgg, {"1.wav", "2.wav", "3.wav", "4.wav"});
    ASSERT_TRUE(Open());
    runner->Tick();
    runner->CloseRequest();
    EXPECT_TRUE(runner->finished());
    for (int row = 0; row < 4; ++row) EXPECT_EQ(recorder.Last(row), "Cancelled") << row;
    EXPECT_FALSE(Exists(dir / "Temp-QOR-File(1)"));
    EXPECT_EQ(ReadFile(dir / "Temp-QOR-File"), "a user's file that only looks like ours");
}

TEST_F(Running, DeleteSourceOnlyAfterAVerifiedOutput) {
    Use({{EngineId::kEncWavPcm, Succeeding}, {EngineId::kDecMp3, Failing}, {EngineId::kDecOggVorbis, Succeeding},
         {EngineId::kEncOggVorbis, Empty}});
    settings.general.afterOperation = AfterOperation::kDeleteSource;
    for (const char* name : {"good.wav", "bad.mp3", "hollow.ogg"}) WriteFile(dir / name, "src");
    Plan(kTargetWav, {"good.wav", "bad.mp3"});
    RunToEnd();
    EXPECT_FALSE(Exists(dir / "good.wav"));
    EXPECT_EQ(ReadFile(dir / "good(1).wav"), "audio");
    EXPECT_TRUE(Exists(dir / "bad.mp3"));

    Plan(kTargetOgg, {"hollow.ogg"});  // its encoder "succeeds" without writing
    RunToEnd();
    EXPECT_EQ(recorder.Last(0), "Done");
    EXPECT_TRUE(Exists(dir / "hollow.ogg")) << "a missing output does not justify deleting";
}

TEST_F(Running, EndOfAnEngineWakesTheDriver) {
    Use({{EngineId::kEncWavPcm, Succeeding}});
    Plan(kTargetWav, {"a.wav"});
    ASSERT_TRUE(Open());
    runner->Tick();
    EXPECT_TRUE(runner->endSignal().WaitFor(std::chrono::seconds(10)));
    EXPECT_FALSE(runner->engineRunning());
}

TEST_F(Running, NothingPlannedIsReported) {
    Use({});
    Plan(kTargetWav, {"a.mp2"});
    EXPECT_FALSE(Open());
    EXPECT_TRUE(recorder.rows.empty());
}

TEST_F(Running, NoEngineOutlivesItsRunner) {
    Use({{EngineId::kEncWavPcm, Endless}});
    Plan(kTargetWav, {"a.wav"});
    ASSERT_TRUE(Open());
    runner->Tick();
    ASSERT_TRUE(runner->engineRunning());
    runner.reset();  // asks the engine to stop and waits for its thread
    EXPECT_EQ(g_endlessRunning, 0);
}
