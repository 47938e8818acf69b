// Widget tests run without a display unless one is asked for.
#include <gtest/gtest.h>

#include <memory>

#include <QApplication>

// Allocations the font, graphics and bus libraries keep until exit are
// theirs, not leaks of ours (used only under LeakSanitizer).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libfreetype.so\n"
           "leak:libdbus-1.so\n"
           "leak:libQt6Core.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Widgets.so\n"
           "leak:libQt6DBus.so\n"
           "leak:libqoffscreen.so\n";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (at build time) needs no application at all.
    std::unique_ptr<QApplication> app;
    if (!::testing::GTEST_FLAG(list_tests)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
    return RUN_ALL_TESTS();
}
