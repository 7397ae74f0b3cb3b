#include "app/recover/previous_versions.h"

#include <QMessageBox>

#include "app/browse/browse_models.h"
#include "app/main_frame.h"
#include "app/recover/saving_files_dlg.h"
#include "app/recover/saving_summary_dlg.h"
#include "app/worker_reporting.h"
#include "app/worker_thread.h"
#include "recovery/destination_check.h"
#include "recovery/recovery_texts.h"
#include "session/recovery_session.h"

namespace tarvik {

class CVersionsFinder final : public CWorkerThread {
  public:
    explicit CVersionsFinder(RecoverySession& session) : session_(session) {}
    VersionMarks& Result() { return marks_; }

  protected:
    void run() override {
        NullNotifier quiet;
        RunGuarded(quiet, [this] {
            NullProgressSink progress;
            marks_ = session_.FindVersions(progress, Stop());
        });
    }

  private:
    RecoverySession& session_;
    VersionMarks marks_;
};

CPreviousVersions::CPreviousVersions(CMainFrame& frame, CFileListModel& model, QObject* parent)
    : QObject(parent), frame_(frame), model_(model) {}

CPreviousVersions::~CPreviousVersions() {
    // The list's model may be gone already: only the worker is ended.
    StopFinder();
}

// Joining serves the user-interface thread's events, and one of them may drop or replace
// the finder: the one being joined is taken out of finder_ first, so that nothing frees
// it under the join, and its end is handled here rather than by its queued signal.
std::unique_ptr<CVersionsFinder> CPreviousVersions::TakeFinder() {
    std::unique_ptr<CVersionsFinder> finder = std::move(finder_);
    if (finder) finder->disconnect(this);
    return finder;
}

void CPreviousVersions::StopFinder() {
    const std::unique_ptr<CVersionsFinder> finder = TakeFinder();
    if (!finder) return;
    finder->RequestStop();
    finder->Join();
}

void CPreviousVersions::Find(RecoverySession& session) {
    Drop();
    // The finder reads the condition table: made after the scan, never made here while
    // the list reads it.
    if (!session.HasDrive() || session.OpenCopy() != 0 || session.MadeConditions() == nullptr)
        return;
    finder_ = std::make_unique<CVersionsFinder>(session);
    connect(finder_.get(), &QThread::finished, this, &CPreviousVersions::OnFinished,
            Qt::QueuedConnection);
    finder_->start(QThread::LowPriority);
}

void CPreviousVersions::Drop() {
    StopFinder();
    model_.SetVersionMarks(nullptr);
    marks_.reset();
}

void CPreviousVersions::Wait() {
    const std::unique_ptr<CVersionsFinder> finder = TakeFinder();
    if (!finder) return;
    finder->Join();
    finder->wait();
    TakeResult(*finder);
}

bool CPreviousVersions::Finding() const {
    return finder_ != nullptr;
}

void CPreviousVersions::OnFinished() {
    if (!finder_ || finder_->isRunning()) return;
    const std::unique_ptr<CVersionsFinder> finder = TakeFinder();
    finder->wait();
    TakeResult(*finder);
}

void CPreviousVersions::TakeResult(CVersionsFinder& finder) {
    if (!finder.StopRequested())
        marks_ = std::make_unique<VersionMarks>(std::move(finder.Result()));
    if (marks_ && !marks_->Empty()) model_.SetVersionMarks(marks_.get());
    emit Found();
}

bool CPreviousVersions::AnyVersions(const std::vector<std::string>& treePaths) const {
    if (!marks_ || marks_->Empty() || !frame_.Session().HasDrive()) return false;
    const CheckTree& tree = frame_.Session().Checks();
    for (const std::string& path : treePaths) {
        if (path == "Root") {
            if (!marks_->OfRoot().empty()) return true;
            continue;
        }
        for (std::size_t position : tree.FindAll(path))
            if (!marks_->Of(tree.Placed()[position].catalogueIndex).empty()) return true;
    }
    return false;
}

void CPreviousVersions::Recover(const std::vector<std::string>& treePaths) {
    RecoverySession& session = frame_.Session();
    if (!session.HasDrive() || treePaths.empty()) return;
    const QString chosen = frame_.ChooseDestinationFolder();
    if (chosen.isEmpty()) return;
    const DestinationVerdict verdict = session.JudgeDestinationOf(chosen.toStdString());
    if (verdict.standing == DestinationStanding::kOnDisk) {
        ShowNotice(kDestinationOnScannedDiskText, kAppCaption, NoticeIcon::Error);
        return;
    }
    if (verdict.standing == DestinationStanding::kUncertain &&
        QMessageBox::warning(
            &frame_, kAppCaption,
            QString::fromStdString(verdict.why) + "\n\nWrite the recovered files there anyway?",
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    // The finder reads the session too: it ends first.
    Wait();
    RecoveryResult result;
    {
        CSavingFilesDlg saving(session, chosen.toStdString(), RecoveryMode::kSelected, &frame_);
        saving.SetJob([&session, treePaths, destination = chosen.toStdString()](
                          ProgressSink& progress, Notifier& notifier, const StopFlag* stop) {
            RecoveryResult live;
            const VersionsResult versions =
                session.RecoverWithVersions(treePaths, destination, progress, notifier, stop, live);
            live.filesWritten += versions.versionsWritten;
            live.bytesWritten += versions.bytesWritten;
            live.unreadableSectors += versions.unreadableSectors;
            live.stopped = live.stopped || versions.stopped;
            return live;
        });
        result = saving.Run();
    }
    if (!frame_.ShowsSavingSummary() || result.refused || !result.rootCreated) return;
    CSavingSummaryDlg summary(result, session.LastRecoveryNotices(), DestinationRoot(chosen),
                              &frame_, &session.LastReport());
    summary.exec();
}

}  // namespace tarvik
