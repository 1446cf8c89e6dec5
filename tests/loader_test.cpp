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

TEST(CodecLibraries, DistributionCodecsServeUnderTheirPluginNames) {
    void* (*mpg123New)(const char*, int*) = nullptr;
    int (*oggSyncInit)(void*) = nullptr;
    void (*vorbisInfoInit)(void*) = nullptr;
    int (*vorbisEncodeInit)(void*, long, long, long, long, long) = nullptr;
    CodecLibraries libraries;
    EXPECT_TRUE(libraries.Load("Mpg123.so", {Bind("mpg123_new", mpg123New)}));
    EXPECT_TRUE(libraries.Load("Ogg.so", {Bind("ogg_sync_init", oggSyncInit)}));
    EXPECT_TRUE(libraries.Load("Vorbis.so", {Bind("vorbis_info_init", vorbisInfoInit)}));
    EXPECT_TRUE(libraries.Load("VorbisEnc.so", {Bind("vorbis_encode_init", vorbisEncodeInit)}));
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
