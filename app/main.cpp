// The desktop program: Corvane Miravel NTFS.
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/main_frame.h"
#include "app/resource_ids.h"
#include "app/start_options.h"
#include "app/tarvik_app.h"
#include "common/version.h"

namespace {

// Saves a picture of the screen (or, without a real screen, of the main window) once it
// has been up for the given time, then ends the program.
void ScheduleScreenshot(tarvik::CMainFrame* frame, const QString& path, int delayMs) {
    QTimer::singleShot(delayMs, frame, [frame, path] {
        QPixmap shot;
        QScreen* screen = frame->screen();
        if (screen && QGuiApplication::platformName() == "xcb") shot = screen->grabWindow(0);
        if (shot.isNull()) shot = frame->grab();
        if (!shot.save(path, "PNG"))
            std::fprintf(stderr, "tarvik: cannot write %s\n", qPrintable(path));
        QCoreApplication::exit(shot.isNull() ? 1 : 0);
    });
}

}  // namespace

int main(int argc, char** argv) {
    // The options are read before the application exists, so --help and --version
    // answer on a machine without a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(QString::fromLocal8Bit(argv[i]));
    const tarvik::StartOptions options = tarvik::ParseStartOptions(arguments);
    if (options.help) {
        std::fputs(qPrintable(tarvik::StartUsage()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("tarvik %s\n", tarvik::kVersion);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "tarvik: %s (see --help)\n", qPrintable(options.error));
        return 2;
    }
    tarvik::CTarvikApp app(argc, argv);
    if (!app.InitInstance(options, tarvik::kSplashMilliseconds)) return 1;
    if (!options.screenshotPath.isEmpty())
        ScheduleScreenshot(app.MainFrame(), options.screenshotPath, options.screenshotDelayMs);
    return app.exec();
}
