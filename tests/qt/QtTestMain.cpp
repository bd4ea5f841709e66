// Runs the Qt shell's tests offscreen, with a QApplication for the widgets, in a home of their
// own: Qt's file dialogs remember folders there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    const QTemporaryDir home;
    if (!home.isValid()) {
        return 1;
    }
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        ::setenv(name, home.path().toLocal8Bit().constData(), 1);
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
