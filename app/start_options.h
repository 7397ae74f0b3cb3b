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
    bool version = false;
    QString error;  // set when the command line cannot be used
};

// Reads the arguments after the program name.
StartOptions ParseStartOptions(const QStringList& arguments);

// The help text: usage and every option.
QString StartUsage();

}  // namespace tarvik
