// The window tests run on one QApplication on the offscreen platform.
#include "toolkit/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
#ifdef GUI_TEST_FONT_DIR
    // The offscreen platform on Windows draws text with FreeType from one
    // folder of font files.
    if (qgetenv("QT_QPA_FONTDIR").isEmpty()) qputenv("QT_QPA_FONTDIR", GUI_TEST_FONT_DIR);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    toolkit::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
