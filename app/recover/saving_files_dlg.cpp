#include "app/recover/saving_files_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/busy_key_filter.h"
#include "app/control_id.h"
#include "app/recover/overall_progress.h"
#include "app/worker_reporting.h"
#include "recovery/recovery_texts.h"
#include "session/recovery_session.h"

namespace tarvik {

// ---- CSavingFilesThread

CSavingFilesThread::CSavingFilesThread(RecoverySession& session, std::string destination,
                                       RecoveryMode mode, ProgressSink& progress,
                                       Notifier& notifier, RecoveryTally& tally, QObject* parent)
    : CWorkerThread(parent),
      session_(session),
      destination_(std::move(destination)),
      mode_(mode),
      progress_(progress),
      notifier_(notifier),
      tally_(tally) {}

void CSavingFilesThread::run() {
    RunGuarded(notifier_, [this] {
        // The report is kept so that the summary can offer to save it.
        if (job_) {
            result_ = job_(progress_, notifier_, Stop());
            return;
        }
        RecoveryPlan plan;
        plan.destination = destination_;
        plan.mode = mode_;
        plan.keepReport = true;
        plan.tally = &tally_;
        plan.marks = marks_;
        result_ = session_.Recover(plan, progress_, notifier_, Stop());
    });
}

void CSavingFilesThread::NoteWhatWasRead() {
    if (!job_) session_.NoteWhatRecoveryRead(result_);
}

// ---- CSavingFilesDlg

class CSavingFilesDlg::Tee final : public ProgressSink {
  public:
    explicit Tee(ProgressSink& first) : first_(first) {}
    void SetSecond(ProgressSink* second) { second_ = second; }
    void SetText(int slot, const std::string& text) override {
        first_.SetText(slot, text);
        if (second_) second_->SetText(slot, text);
    }
    void SetRange(std::uint64_t low, std::uint64_t high) override {
        first_.SetRange(low, high);
        if (second_) second_->SetRange(low, high);
    }
    void SetPosition(std::uint64_t position) override {
        first_.SetPosition(position);
        if (second_) second_->SetPosition(position);
    }
    void SetStep(std::uint64_t step) override {
        first_.SetStep(step);
        if (second_) second_->SetStep(step);
    }
    void StepIt() override {
        first_.StepIt();
        if (second_) second_->StepIt();
    }

  private:
    ProgressSink& first_;
    ProgressSink* second_ = nullptr;
};

CSavingFilesDlg::CSavingFilesDlg(RecoverySession& session, std::string destination,
                                 RecoveryMode mode, QWidget* parent)
    : CWorkerDialog(parent), tee_(std::make_unique<Tee>(Progress())) {
    SetControlId(this, IDD_SAVING_FILES);
    setWindowTitle(kSavingFilesTitle);

    auto* text = new QLabel(this);
    SetControlId(text, IDC_SAVING_TEXT);
    // Two lines high; a long path is cut at the label's edge rather than widening it.
    text->setMinimumSize(380, 2 * fontMetrics().lineSpacing());
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* bar = new QProgressBar(this);
    SetControlId(bar, IDC_SAVING_PROGRESS);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);

    auto* cancel = new QPushButton("Cancel", this);
    SetControlId(cancel, IDC_SAVING_CANCEL);
    cancel->setAutoDefault(false);
    // The writer tests the request between reads and between files, closes the file it
    // is writing and returns; the dialog then ends as it does after the last file.
    SetStopButton(cancel, true);

    auto* overallTitle = new QLabel("All files to save:", this);
    auto* overall = new QProgressBar(this);
    overall->setObjectName("overall");
    overall->setTextVisible(true);
    auto* estimate = new QLabel(this);
    estimate->setObjectName("estimate");
    estimate->setTextFormat(Qt::PlainText);
    new COverallProgress(tally_, overall, estimate, this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(estimate, 1);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(bar);
    layout->addSpacing(fontMetrics().lineSpacing() / 2);
    layout->addWidget(overallTitle);
    layout->addWidget(overall);
    layout->addLayout(buttons);

    Progress().SetBar(bar);
    Progress().SetLabel(kSlotSavingText, text);

    GuardKeys(kCannotStopText, false);
    Adopt(std::make_unique<CSavingFilesThread>(session, std::move(destination), mode, *tee_,
                                               Notices(), tally_));
}

CSavingFilesDlg::~CSavingFilesDlg() {
    // The worker writes through the tee and the tally: it ends before they go.
    EndWorker();
}

void CSavingFilesDlg::SetMarks(const CheckMarks* marks) {
    Worker()->SetMarks(marks);
}

void CSavingFilesDlg::SetProgressObserver(ProgressSink* observer) {
    tee_->SetSecond(observer);
}

RecoveryResult CSavingFilesDlg::Run() {
    // The worker starts from the dialog's own loop, once the dialog is up.
    RunWorker(StartAt::kInLoop);
    Worker()->NoteWhatWasRead();
    return Worker()->Result();
}

}  // namespace tarvik
