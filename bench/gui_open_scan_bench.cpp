// Times the desktop program's File > Open Scan of a kept scan: the file read and checked,
// the disk image found and its drive opened, the catalogue taken back and the folder tree
// built and shown (offscreen unless an X server is at hand), up to the first paint.
//   tarvik_gui_open_scan_bench IMAGE SCAN
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "app/browse/browse_tools.h"
#include "app/browse/left_view.h"
#include "app/main_frame.h"
#include "app/tarvik_app.h"
#include "session/recovery_session.h"

int main(int argc, char** argv) {
    tarvik::CTarvikApp app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarvik_gui_open_scan_bench IMAGE SCAN\n");
        return 2;
    }
    tarvik::CLeftView::SetImportantNoteShown(false);
    tarvik::CMainFrame* frame = app.CreateMainFrame();
    frame->resize(1000, 600);
    frame->show();
    QCoreApplication::processEvents();
    std::size_t disk = 0;
    if (auto problem = app.Session->AddDisk(argv[1], disk)) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    auto* tools = frame->findChild<tarvik::CBrowseTools*>();
    QElapsedTimer open;
    open.start();
    const QString failed = tools->OpenScanFrom(QString::fromLocal8Bit(argv[2]));
    const qint64 openedMs = open.elapsed();
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failed));
        return 1;
    }
    QCoreApplication::processEvents();
    std::printf("open scan %lld ms, shown %lld ms, %zu entries, %d top folders\n",
                static_cast<long long>(openedMs), static_cast<long long>(open.elapsed()),
                app.Session->GetCatalogue().Count(), frame->LeftView()->Model()->rowCount());
    return 0;
}
