#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "codecs/engine.h"
#include "codecs/libraryloader.h"
#include "tests/support/scratch.h"

using namespace zelph;

namespace {

constexpr const char* kTestPlugin = "ZelphTestPlugin.so";

struct TestPlugin {
    int (*add)(int, int) = nullptr;
    int (*answer)() = nullptr;
    int (*missing)() = nullptr;
};

void WaitUntilEnded(const Job& job) {
    while (LoadShared(job.running) != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// An engine that loads the test plugin and resolves the entries named by
// `engineParams` (true: also the one the plugin lacks).
void PluginEngine(Job* job) {
    RunEngine(job, [](EngineRun& run) {
        CodecLibraries libraries;
        TestPlugin plugin;
        const EntryPoint wanted[] = {Entry("zelph_test_add", plugin.add),
                                     Entry("zelph_test_answer", plugin.answer),
                                     Entry("zelph_test_missing", plugin.missing)};
        const std::size_t count = run.job().engineParams ? 3 : 2;
        const char* file = run.job().sourcePath.c_str();
        return libraries.Load({file}) && libraries.Resolve(file, std::span(wanted, count)) &&
               plugin.add(40, 2) == plugin.answer();
    });
}

}  // namespace

TEST(EngineContract, ProgressStaysWithinItsStep) {
    EXPECT_EQ(ProgressAt(30, 10, 0, 1000), 30);
    EXPECT_EQ(ProgressAt(30, 10, 999, 1000), 39) << "truncated, not rounded";
    EXPECT_EQ(ProgressAt(30, 10, 1000, 1000), 40);
    EXPECT_EQ(ProgressAt(30, 10, 5000, 1000), 40) << "more than the total";
    EXPECT_EQ(ProgressAt(0, 100, 0, 0), 100) << "an empty source is done at once";
    // Several hundred megabytes and more: done × span must not overflow.
    EXPECT_EQ(ProgressAt(0, 100, 0xFFFFFFFFull - 1, 0xFFFFFFFFull), 99);
    EXPECT_EQ(ProgressAt(10, 90, UINT64_MAX / 2, UINT64_MAX), 54);
    EXPECT_EQ(ProgressAt(50, -5, 1, 2), 50) << "a negative span is no span";
}

TEST(EngineContract, SucceededOnlyForACompleteOutputAndRunningClearedLast) {
    Job job;
    job.progress = 20;
    job.progressSpan = 30;
    int32_t runningInside = 0;
    RunEngine(&job, [&](EngineRun& run) {
        runningInside = LoadShared(run.job().running);
        run.Progress(1, 2);
        return true;
    });
    EXPECT_EQ(runningInside, 1);
    EXPECT_EQ(job.progress, 35);
    EXPECT_EQ(job.succeeded, 1);
    EXPECT_EQ(job.running, 0);

    Job failed, thrown;
    RunEngine(&failed, [](EngineRun&) { return false; });
    RunEngine(&thrown, [](EngineRun&) -> bool { throw std::runtime_error("out of memory"); });
    for (const Job* j : {&failed, &thrown}) {
        EXPECT_EQ(j->succeeded, 0);
        EXPECT_EQ(j->running, 0);
    }
}

TEST(EngineContract, StartedEngineSeesTheRunnersRecordAndStop) {
    Job job;
    job.running = 1;  // as the runner stores it before the start
    StartEngine([](Job* j) {
        RunEngine(j, [](EngineRun& run) {
            while (!run.StopRequested()) std::this_thread::yield();
            return false;
        });
    }, &job);
    StoreShared(job.stopRequested, 1);
    WaitUntilEnded(job);
    EXPECT_EQ(job.succeeded, 0);
}

TEST(LibraryLoader, ResolvesEveryEntryFromPluginsBesideTheProgram) {
    const std::string folder = PluginFolder();
    EXPECT_EQ(folder, test::BinDir() + "/Plugins/");

    Job job;
    job.sourcePath = kTestPlugin;
    PluginEngine(&job);
    EXPECT_EQ(job.succeeded, 1);
    EXPECT_EQ(job.running, 0);
}

TEST(LibraryLoader, MissingLibraryOrEntryFailsOnlyThatJob) {
    Job noLibrary;
    noLibrary.sourcePath = "NoSuchCodec.so";
    Job noEntry;
    noEntry.sourcePath = kTestPlugin;
    noEntry.engineParams = &noEntry;  // also ask for the entry the plugin lacks
    for (Job* job : {&noLibrary, &noEntry}) {
        job->running = 1;
        StartEngine(PluginEngine, job);
        WaitUntilEnded(*job);
        EXPECT_EQ(job->succeeded, 0) << job->sourcePath;
    }

    // No half tables: a failed lookup hands out no pointer at all.
    CodecLibraries libraries;
    ASSERT_TRUE(libraries.Load({kTestPlugin}));
    TestPlugin plugin;
    const EntryPoint wanted[] = {Entry("zelph_test_add", plugin.add), Entry("zelph_test_missing", plugin.missing)};
    EXPECT_FALSE(libraries.Resolve(kTestPlugin, wanted));
    EXPECT_EQ(plugin.add, nullptr);
    EXPECT_FALSE(libraries.Resolve("NotLoaded.so", std::span(wanted, 1))) << "only loaded files are searched";
    EXPECT_FALSE(libraries.Load({kTestPlugin, "NoSuchCodec.so"}));
}

TEST(LibraryLoader, DistributionCodecsServeUnderTheirPluginNames) {
    CodecLibraries libraries;
    ASSERT_TRUE(libraries.Load({kLibMadFile, kOggFile, kVorbisFile, kVorbisEncFile}));
    void (*madStreamInit)(void*) = nullptr;
    int (*oggSyncInit)(void*) = nullptr;
    int (*vorbisEncodeInit)(void*, long, long, long, long, long) = nullptr;
    const EntryPoint mad[] = {Entry("mad_stream_init", madStreamInit)};
    const EntryPoint ogg[] = {Entry("ogg_sync_init", oggSyncInit)};
    const EntryPoint enc[] = {Entry("vorbis_encode_init", vorbisEncodeInit)};
    EXPECT_TRUE(libraries.Resolve(kLibMadFile, mad));
    EXPECT_TRUE(libraries.Resolve(kOggFile, ogg));
    EXPECT_TRUE(libraries.Resolve(kVorbisEncFile, enc));
}
