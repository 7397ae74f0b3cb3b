#pragma once
// The search of a whole disk for NTFS logical drives behind its progress dialog. Abort
// stops the search after the chunk being read; what was found by then is kept and used
// as a finished search's finds are.
#include <cstddef>
#include <memory>

#include "app/worker_dialog.h"

namespace tarvik {

class CDeferredNotices;
class RecoverySession;

// Dialog 158 and the ids of its controls.
inline constexpr int IDD_SEARCH_LOGICAL_DRIVES = 158;
inline constexpr int IDC_SEARCH_PROGRESS = 1044;
inline constexpr int IDC_SEARCH_STATUS = 1047;
inline constexpr int IDC_SEARCH_SECTOR_LABEL = 1049;
inline constexpr int IDC_SEARCH_SECTOR = 1050;
inline constexpr int IDC_SEARCH_OF = 1051;
inline constexpr int IDC_SEARCH_TOTAL = 1052;
inline constexpr int IDC_SEARCH_FOUND_LABEL = 1053;
inline constexpr int IDC_SEARCH_FOUND = 1054;
inline constexpr int IDC_SEARCH_ABORT = 1031;

class CSearchLogDrivesThread final : public CWorkerThread {
    Q_OBJECT
  public:
    CSearchLogDrivesThread(RecoverySession& session, std::size_t disk, ProgressSink& progress,
                           Notifier& notifier, QObject* parent = nullptr);
    // True when the search found at least one drive (read after the thread has ended).
    bool Found() const { return found_; }

  protected:
    void run() override;

  private:
    RecoverySession& session_;
    std::size_t disk_;
    ProgressSink& progress_;
    Notifier& notifier_;
    bool found_ = false;
};

class CSearchLogDrivesDlg final : public CWorkerDialog {
    Q_OBJECT
  public:
    CSearchLogDrivesDlg(RecoverySession& session, std::size_t disk, QWidget* parent = nullptr);
    ~CSearchLogDrivesDlg() override;

    // Shows the dialog modally while the worker searches; returns once the worker has
    // ended and the dialog is gone. True when the drive list now holds what the search
    // found.
    bool Run();
    // The search's messages, kept while it ran ("Use Corvane Miravel FAT ..." when it
    // found nothing), shown now that the dialog is gone.
    void ShowNotices();

    CSearchLogDrivesThread* Worker() const {
        return static_cast<CSearchLogDrivesThread*>(CWorkerDialog::Worker());
    }

  private:
    // Kept until the dialog is gone rather than shown over it.
    std::unique_ptr<CDeferredNotices> notices_;
};

}  // namespace tarvik
