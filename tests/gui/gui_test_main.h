#pragma once
// Every GUI test runs under the program's own application object, as the windows do.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "app/tarvik_app.h"

// The settings go to a folder of the run's own, so a test never reads what another run
// (or the user's program) kept.
#define TARVIK_GUI_TEST_MAIN(TestClass)                                \
    int main(int argc, char** argv) {                                  \
        QTemporaryDir settingsHome;                                    \
        qputenv("XDG_CONFIG_HOME", settingsHome.path().toLocal8Bit()); \
        tarvik::CTarvikApp app(argc, argv);                            \
        app.setQuitOnLastWindowClosed(false);                          \
        TestClass test;                                                \
        return QTest::qExec(&test, argc, argv);                        \
    }

// Saves a picture of a window into TARVIK_SHOT_DIR when that is set, for a developer
// to look at; does nothing otherwise.
inline void SaveShot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("TARVIK_SHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    window->grab().save(QDir(folder).filePath(name + ".png"), "PNG");
}
