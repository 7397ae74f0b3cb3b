#pragma once
// The saving of the chosen files behind its progress dialog: the worker runs the
// recovery through the session; the dialog shows what is being written and how far the
// current file has got, stops the writer on Cancel, and closes when the worker ends.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "app/worker_thread.h"
#include "recovery/recovery_writer.h"

class QCloseEvent;
class QPushButton;

namespace tarvik {

class CBusyKeyFilter;
class CProgressRelay;
class CWorkerNoticeRelay;
class RecoverySession;

// Dialog 145 and the ids of its controls.
inline constexpr int IDD_SAVING_FILES = 145;
inline constexpr int IDC_SAVING_PROGRESS = 1007;
inline constexpr int IDC_SAVING_TEXT = 1008;
inline constexpr int IDC_SAVING_CANCEL = 1009;
inline constexpr const char* kSavingFilesTitle = "Saving Files";

class MyThread final : public CWorkerThread {
    Q_OBJECT
  public:
    // `destination` is the chosen folder; the writer makes Root inside it.
    MyThread(RecoverySession& session, std::string destination, RecoveryMode mode,
             ProgressSink& progress, Notifier& notifier, QObject* parent = nullptr);

    // Another writing than the recovery of the mode's files (set before the start).
    using Job = std::function<RecoveryResult(ProgressSink&, Notifier&, const StopFlag*)>;
    void SetJob(Job job) { job_ = std::move(job); }

    // What the writer did; read once the thread has ended.
    const RecoveryResult& Result() const { return result_; }

  protected:
    void run() override;

  private:
    RecoverySession& session_;
    std::string destination_;
    RecoveryMode mode_;
    ProgressSink& progress_;
    Notifier& notifier_;
    RecoveryResult result_;
    Job job_;
};

class CSavingFilesDlg final : public QDialog {
    Q_OBJECT
  public:
    CSavingFilesDlg(RecoverySession& session, std::string destination, RecoveryMode mode,
                    QWidget* parent = nullptr);
    ~CSavingFilesDlg() override;

    // Shows the dialog modally while the worker writes; returns once the worker has
    // ended, with what it did.
    RecoveryResult Run();

    CProgressRelay& Progress() const { return *relay_; }
    MyThread* Worker() const { return worker_.get(); }
    // Also hands every progress call to `observer`, on the worker's thread, after the
    // dialog's own relay; set before Run. Tests use it to act at a chosen point.
    void SetProgressObserver(ProgressSink* observer);
    // Runs `job` on the worker instead of the recovery of the mode's files; set before Run.
    void SetJob(MyThread::Job job) { worker_->SetJob(std::move(job)); }

  protected:
    void closeEvent(QCloseEvent* event) override;

    // Cancel, as the button does.
    void OnCancel();

  private:
    void OnWorkerFinished();

    class Tee;
    std::unique_ptr<CProgressRelay> relay_;
    std::unique_ptr<Tee> tee_;
    std::unique_ptr<CWorkerNoticeRelay> notices_;
    std::unique_ptr<MyThread> worker_;
    CBusyKeyFilter* keys_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool finished_ = false;
};

}  // namespace tarvik
