// Times the desktop program's scan of a disk image: the scanning dialog with its worker
// and progress relay, shown on the current platform (xcb under a real or virtual X
// server, offscreen otherwise), as Select Logical Drive runs it for the first NTFS drive.
//   tarvik_gui_scan_bench IMAGE
#include <QElapsedTimer>
#include <QLabel>
#include <cstdio>

#include "app/control_id.h"
#include "app/scan/scanning_dlg.h"
#include "app/tarvik_app.h"
#include "app/worker_reporting.h"
#include "bench_drive.h"
#include "session/recovery_session.h"

int main(int argc, char** argv) {
    QElapsedTimer total;
    total.start();
    tarvik::CTarvikApp app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvik_gui_scan_bench IMAGE\n");
        return 2;
    }
    tarvik::RecoverySession& session = *app.Session;
    if (!tarvik::bench::OpenFirstNtfsDrive(session, argv[1])) return 1;
    tarvik::CScanningDlg dialog(session, false);
    int applies = 0;
    QString files;
    QObject::connect(&dialog, &QDialog::finished, [&] {
        applies = dialog.Progress().ApplyCount();
        files = tarvik::FindControl<QLabel>(&dialog, 1021)->text();
    });
    QElapsedTimer scan;
    scan.start();
    dialog.Run();
    const qint64 scanMs = scan.elapsed();
    std::printf("scan %lld ms, process %lld ms, %d repaints, %s normal files\n",
                static_cast<long long>(scanMs), static_cast<long long>(total.elapsed()), applies,
                qPrintable(files));
    return 0;
}
