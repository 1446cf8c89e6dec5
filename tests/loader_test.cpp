#include <gtest/gtest.h>

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
