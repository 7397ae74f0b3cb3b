// Times Recover All of a disk image's first NTFS drive through the desktop program's
// saving dialog, its worker and its progress relay, shown on the current platform.
//   tarvik_gui_recover_bench IMAGE DESTINATION
#include <QElapsedTimer>
#include <cstdio>

#include "app/recover/saving_files_dlg.h"
#include "app/tarvik_app.h"
#include "app/worker_reporting.h"
#include "bench_drive.h"
#include "session/recovery_session.h"

int main(int argc, char** argv) {
    QElapsedTimer total;
    total.start();
    tarvik::CTarvikApp app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarvik_gui_recover_bench IMAGE DESTINATION\n");
        return 2;
    }
    tarvik::RecoverySession& session = *app.Session;
    if (!tarvik::bench::OpenFirstNtfsDrive(session, argv[1])) return 1;
    tarvik::NullNotifier quiet;
    tarvik::NullProgressSink none;
    session.Scan(none, quiet);
    const qint64 scanned = total.elapsed();
    tarvik::CSavingFilesDlg dialog(session, argv[2], tarvik::RecoveryMode::kAll);
    QElapsedTimer saving;
    saving.start();
    const tarvik::RecoveryResult result = dialog.Run();
    std::printf("saving %lld ms, process %lld ms (scan %lld ms), %d repaints, %llu files\n",
                static_cast<long long>(saving.elapsed()), static_cast<long long>(total.elapsed()),
                static_cast<long long>(scanned), dialog.Progress().ApplyCount(),
                static_cast<unsigned long long>(result.filesWritten));
    return 0;
}
