#pragma once
// The scan of the chosen drive behind its progress dialog: the worker runs the normal
// scan (or the advance search) and phase 4 through the session; the dialog shows the
// six counters, the phase line, the bar with the time left, the whole scan's records and
// bytes read with its rate and time left, and closes itself when the worker ends. Cancel
// (or Escape) stops the scan.
#include "app/worker_dialog.h"

namespace tarvik {

class RecoverySession;

// Dialog 146 and the ids of its controls.
inline constexpr int IDD_SCANNING = 146;
inline constexpr int IDC_SCAN_PROGRESS = 1016;
inline constexpr int IDC_SCAN_NORMAL_FILES = 1021;
inline constexpr int IDC_SCAN_NORMAL_DIRECTORIES = 1022;
inline constexpr int IDC_SCAN_DELETED_FILES = 1023;
inline constexpr int IDC_SCAN_DELETED_DIRECTORIES = 1024;
inline constexpr int IDC_SCAN_LOST_DIRECTORIES = 1025;
inline constexpr int IDC_SCAN_LOST_FILES = 1026;
inline constexpr int IDC_SCAN_PHASE = 1027;
inline constexpr int IDC_SCAN_SPARE = 1029;
inline constexpr int IDC_SCAN_PICTURE = 1087;
inline constexpr int IDB_SCANNING = 179;
inline constexpr const char* kScanningTitle = "Scanning NTFS Drive";
inline constexpr const char* kAdvanceSearchTitle = "Advance Search";

class CScanningHDDThread final : public CWorkerThread {
    Q_OBJECT
  public:
    CScanningHDDThread(RecoverySession& session, bool advanceSearch, ProgressSink& progress,
                       Notifier& notifier, QObject* parent = nullptr);

  protected:
    void run() override;

  private:
    RecoverySession& session_;
    bool advanceSearch_;
    ProgressSink& progress_;
    Notifier& notifier_;
};

class CScanningDlg final : public CWorkerDialog {
    Q_OBJECT
  public:
    // `advanceSearch` runs the advance search instead of the normal scan; the title
    // says whether the drive was searched in depth already.
    CScanningDlg(RecoverySession& session, bool advanceSearch, QWidget* parent = nullptr);
    // Shows the dialog modally while the worker scans; returns once the worker has
    // ended. True when the scan ran to its end (no stop was requested).
    bool Run();

    using CWorkerDialog::Worker;
};

}  // namespace tarvik
