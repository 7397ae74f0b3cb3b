#pragma once
// Carving the scanned drive's free space behind a progress dialog with Cancel: the
// worker runs the session's carving; the dialog shows the phase line and the bar, and
// closes itself when the worker ends. What was found before a Cancel is kept.
#include "app/worker_dialog.h"
#include "session/recovery_session.h"

namespace tarvik {

inline constexpr int IDD_CARVING = 147;
inline constexpr int IDC_CARVE_PHASE = 1090;
inline constexpr int IDC_CARVE_PROGRESS = 1091;
inline constexpr int IDC_CARVE_CANCEL = 1092;

class CCarvingThread final : public CWorkerThread {
    Q_OBJECT
  public:
    CCarvingThread(RecoverySession& session, ProgressSink& progress, Notifier& notifier)
        : session_(session), progress_(progress), notifier_(notifier) {}
    const CarveSummary& Summary() const { return summary_; }

  protected:
    void run() override;

  private:
    RecoverySession& session_;
    ProgressSink& progress_;
    Notifier& notifier_;
    CarveSummary summary_;
};

class CCarvingDlg final : public CWorkerDialog {
    Q_OBJECT
  public:
    CCarvingDlg(RecoverySession& session, QWidget* parent = nullptr);
    // Shows the dialog modally while the worker carves; returns once it has ended.
    CarveSummary Run();
    CCarvingThread* Worker() const { return static_cast<CCarvingThread*>(CWorkerDialog::Worker()); }

  protected:
    void reject() override;
};

// The line shown when the carving has ended.
std::string CarveSummaryText(const CarveSummary& summary);

}  // namespace tarvik
