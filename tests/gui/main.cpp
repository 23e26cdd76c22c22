// The window tests run on one QApplication on the offscreen platform.
#include "toolkit/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    ::testing::InitGoogleTest(&argc, argv);
    toolkit::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
