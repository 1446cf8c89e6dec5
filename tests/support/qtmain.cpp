#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/qtsupport.h"
#include "ui/uiresources.h"

int main(int argc, char** argv) {
    // Also when the build lists the tests, which runs without a display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    zelph::InitUiResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
