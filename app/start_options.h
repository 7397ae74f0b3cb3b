#pragma once
// The desktop program's command line.
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace tarvik {

struct StartOptions {
    std::vector<std::string> diskPaths;  // --disk PATH, in order, repeatable
    QString screenshotPath;              // --screenshot PATH: grab the window, then quit
    int screenshotDelayMs = 800;  // --screenshot-delay MS, counted from the main window's showing
    bool help = false;
    QString error;  // set when the command line cannot be used
};

// Reads the arguments after the program name.
StartOptions ParseStartOptions(const QStringList& arguments);

inline constexpr const char* kStartUsage =
    "Usage: tarvik [--disk PATH]... [--screenshot PATH [--screenshot-delay MS]]\n"
    "Corvane Miravel NTFS: find and recover files of NTFS drives, read-only.\n"
    "  --disk PATH             a disk image or block device to list first (repeatable);\n"
    "                          more in TARVIK_DISKS, separated by ':'\n"
    "  --screenshot PATH       save a picture of the screen as PNG once the main window\n"
    "                          has shown for --screenshot-delay ms (800), then quit\n";

}  // namespace tarvik
