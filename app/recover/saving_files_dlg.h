#pragma once
// The saving of the chosen files behind its progress dialog: the worker runs the
// recovery through the session; the dialog shows what is being written, how far the
// current file has got and how far the whole recovery has (files and bytes of the total,
// the rate, the time left), stops the writer on Cancel, and closes when the worker ends.
#include <functional>
#include <memory>
#include <string>

#include "app/worker_dialog.h"
#include "recovery/recovery_tally.h"
#include "recovery/recovery_writer.h"

namespace tarvik {

class RecoverySession;

// Dialog 145 and the ids of its controls.
inline constexpr int IDD_SAVING_FILES = 145;
inline constexpr int IDC_SAVING_PROGRESS = 1007;
inline constexpr int IDC_SAVING_TEXT = 1008;
inline constexpr int IDC_SAVING_CANCEL = 1009;
inline constexpr const char* kSavingFilesTitle = "Saving Files";

class CSavingFilesThread final : public CWorkerThread {
    Q_OBJECT
  public:
    // `destination` is the chosen folder; the writer makes Root inside it.
    CSavingFilesThread(RecoverySession& session, std::string destination, RecoveryMode mode,
                       ProgressSink& progress, Notifier& notifier, RecoveryTally& tally,
                       QObject* parent = nullptr);

    void SetMarks(const CheckMarks* marks) { marks_ = marks; }
    // Another writing than the recovery of the mode's files (set before the start).
    using Job = std::function<RecoveryResult(ProgressSink&, Notifier&, const StopFlag*)>;
    void SetJob(Job job) { job_ = std::move(job); }

    // What the writer did; read once the thread has ended.
    const RecoveryResult& Result() const { return result_; }
    // Hands what the recovery found by reading to the session; called on the session's
    // own thread once this worker has ended.
    void NoteWhatWasRead();

  protected:
    void run() override;

  private:
    RecoverySession& session_;
    std::string destination_;
    RecoveryMode mode_;
    ProgressSink& progress_;
    Notifier& notifier_;
    RecoveryTally& tally_;
    const CheckMarks* marks_ = nullptr;
    RecoveryResult result_;
    Job job_;
};

class CSavingFilesDlg final : public CWorkerDialog {
    Q_OBJECT
  public:
    CSavingFilesDlg(RecoverySession& session, std::string destination, RecoveryMode mode,
                    QWidget* parent = nullptr);
    ~CSavingFilesDlg() override;

    // Shows the dialog modally while the worker writes; returns once the worker has
    // ended, with what it did.
    RecoveryResult Run();

    const RecoveryTally& Tally() const { return tally_; }
    CSavingFilesThread* Worker() const {
        return static_cast<CSavingFilesThread*>(CWorkerDialog::Worker());
    }
    // Recovers with these marks instead of the check tree's (RecoveryMode::kSelected);
    // they must outlive Run. Set before Run.
    void SetMarks(const CheckMarks* marks);
    // Also hands every progress call to `observer`, on the worker's thread, after the
    // dialog's own relay; set before Run. Tests use it to act at a chosen point.
    void SetProgressObserver(ProgressSink* observer);
    // Runs `job` on the worker instead of the recovery of the mode's files; set before Run.
    void SetJob(CSavingFilesThread::Job job) { Worker()->SetJob(std::move(job)); }

  private:
    class Tee;
    RecoveryTally tally_;
    std::unique_ptr<Tee> tee_;
};

}  // namespace tarvik
