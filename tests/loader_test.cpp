#include <gtest/gtest.h>

#include <thread>

#include "codecs/engine.h"
#include "codecs/libraryloader.h"

using namespace zelph;

TEST(CodecLibraries, ResolvesEveryEntryPointOrNone) {
    int (*add)(int, int) = nullptr;
    int (*missing)(int, int) = nullptr;
    {
        CodecLibraries libraries;
        EXPECT_FALSE(libraries.Load("TestPlugin.so", {Bind("zelph_test_add", add), Bind("zelph_test_missing", missing)}));
        EXPECT_EQ(add, nullptr) << "one missing entry point refuses the library";
        EXPECT_FALSE(libraries.Load("NoSuchLibrary.so", {Bind("zelph_test_add", add)}));
        ASSERT_TRUE(libraries.Load("TestPlugin.so", {Bind("zelph_test_add", add)}));
        EXPECT_EQ(add(2, 3), 5);
    }
    EXPECT_TRUE(PluginsFolder().ends_with("/bin/Plugins/"));
}

TEST(EngineRun, RunningReadsZeroOnEveryPathOut) {
    // An engine whose library is missing, on a thread of its own; the runner
    // only ever learns from the shared fields. (Joined at the end only so the
    // thread is gone before the leak check at exit.)
    Job job;
    job.progressStart = 10;
    job.progressSpan = 90;
    JobState state;
    state.running = 1;
    std::thread engine([&job, &state] {
        EngineRun run(job, state);
        run.Progress(0xFFFFFFFEull, 0xFFFFFFFFull);
        int (*add)(int, int) = nullptr;
        CodecLibraries libraries;
        if (libraries.Load("NoSuchLibrary.so", {Bind("zelph_test_add", add)})) run.Succeed();
    });
    while (state.running.load(std::memory_order_acquire) != 0) std::this_thread::yield();
    EXPECT_EQ(state.succeeded, 0);
    EXPECT_EQ(state.progress, 99) << "no overflow near 4 GiB, and never past the step";
    engine.join();
}
