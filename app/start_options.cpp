#include "app/start_options.h"

#include <QCommandLineParser>

namespace tarvik {

namespace {

struct Parser {
    Parser() {
        parser.setApplicationDescription(
            "Corvane Miravel NTFS: find and recover deleted and lost files of NTFS drives, "
            "read-only.\nMore disks may be named in TARVIK_DISKS, separated by ':'.");
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(disk);
        parser.addOption(screenshot);
        parser.addOption(delay);
        // Qt's own options ("-style fusion", "-platform xcb", ...) are the toolkit's:
        // accepted here, hidden from the help, and left for the application object.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        for (const char* name : {"style", "platform", "platformtheme", "platformpluginpath",
                                 "stylesheet", "display", "geometry", "qwindowgeometry",
                                 "qwindowtitle", "qwindowicon", "plugin", "session", "title"})
            AddToolkitOption(name, true);
        for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
            AddToolkitOption(name, false);
    }
    void AddToolkitOption(const char* name, bool takesValue) {
        QCommandLineOption option(QString::fromLatin1(name));
        if (takesValue) option.setValueName("VALUE");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QCommandLineParser parser;
    QCommandLineOption help{{"h", "help"}, "Show this help and quit."};
    QCommandLineOption version{"version", "Show the program's version and quit."};
    QCommandLineOption disk{"disk", "A disk image or block device to list first (repeatable).",
                            "PATH"};
    QCommandLineOption screenshot{
        "screenshot",
        "Save a picture of the screen as PNG once the main window has shown for "
        "--screenshot-delay ms, then quit.",
        "PATH"};
    QCommandLineOption delay{"screenshot-delay", "Milliseconds before the screenshot (800).", "MS",
                             "800"};
};

}  // namespace

StartOptions ParseStartOptions(const QStringList& arguments) {
    StartOptions options;
    Parser p;
    if (!p.parser.parse(QStringList{"tarvik"} + arguments)) {
        options.error = p.parser.errorText();
        return options;
    }
    if (!p.parser.positionalArguments().isEmpty()) {
        options.error = "unknown argument '" + p.parser.positionalArguments().first() + "'";
        return options;
    }
    options.help = p.parser.isSet(p.help);
    options.version = p.parser.isSet(p.version);
    for (const QString& path : p.parser.values(p.disk))
        options.diskPaths.push_back(path.toStdString());
    options.screenshotPath = p.parser.value(p.screenshot);
    bool ok = false;
    options.screenshotDelayMs = p.parser.value(p.delay).toInt(&ok);
    if (!ok || options.screenshotDelayMs < 0)
        options.error = "--screenshot-delay needs a number of milliseconds";
    return options;
}

QString StartUsage() {
    return Parser().parser.helpText();
}

}  // namespace tarvik
