#include "app/recover/saving_files_dlg.h"

#include <QCloseEvent>
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

namespace {

// A window without a working close box: Cancel is the one way to stop the saving.
constexpr Qt::WindowFlags kBusyDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

}  // namespace

// ---- MyThread

MyThread::MyThread(RecoverySession& session, std::string destination, RecoveryMode mode,
                   ProgressSink& progress, Notifier& notifier, RecoveryTally& tally,
                   QObject* parent)
    : CWorkerThread(parent),
      session_(session),
      destination_(std::move(destination)),
      mode_(mode),
      progress_(progress),
      notifier_(notifier),
      tally_(tally) {}

void MyThread::run() {
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
    : QDialog(parent, kBusyDialogFlags),
      relay_(std::make_unique<CProgressRelay>()),
      tee_(std::make_unique<Tee>(*relay_)) {
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

    cancel_ = new QPushButton("Cancel", this);
    SetControlId(cancel_, IDC_SAVING_CANCEL);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CSavingFilesDlg::OnCancel);

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
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(bar);
    layout->addSpacing(fontMetrics().lineSpacing() / 2);
    layout->addWidget(overallTitle);
    layout->addWidget(overall);
    layout->addLayout(buttons);

    relay_->SetBar(bar);
    relay_->SetLabel(kSlotSavingText, text);

    keys_ = new CBusyKeyFilter(this, kCannotStopText);
    notices_ = std::make_unique<CWorkerNoticeRelay>();
    worker_ =
        std::make_unique<MyThread>(session, std::move(destination), mode, *tee_, *notices_, tally_);
    notices_->SetStop(worker_->Stop());
    connect(worker_.get(), &QThread::finished, this, &CSavingFilesDlg::OnWorkerFinished,
            Qt::QueuedConnection);
}

CSavingFilesDlg::~CSavingFilesDlg() {
    // The worker holds references to the relays: it ends before they go.
    if (worker_ && worker_->isRunning()) {
        worker_->RequestStop();
        worker_->Join();
    }
}

void CSavingFilesDlg::SetMarks(const CheckMarks* marks) {
    worker_->SetMarks(marks);
}

void CSavingFilesDlg::SetProgressObserver(ProgressSink* observer) {
    tee_->SetSecond(observer);
}

RecoveryResult CSavingFilesDlg::Run() {
    finished_ = false;
    // The worker starts from the dialog's own loop, once the dialog is up.
    QMetaObject::invokeMethod(
        this, [this] { worker_->start(); }, Qt::QueuedConnection);
    exec();
    // The modal loop may end early (the program is quitting); the session is not
    // touched again until the worker has ended.
    if (worker_->isRunning()) {
        worker_->RequestStop();
        worker_->Join();
    }
    relay_->Flush();
    return worker_->Result();
}

void CSavingFilesDlg::OnCancel() {
    // The writer tests the request between reads and between files, closes the file it
    // is writing and returns; the dialog then ends as it does after the last file.
    worker_->RequestStop();
    cancel_->setEnabled(false);
}

void CSavingFilesDlg::OnWorkerFinished() {
    finished_ = true;
    relay_->Flush();
    reject();
}

void CSavingFilesDlg::closeEvent(QCloseEvent* event) {
    if (finished_) {
        QDialog::closeEvent(event);
        return;
    }
    keys_->RefuseClose(event);
}

}  // namespace tarvik
