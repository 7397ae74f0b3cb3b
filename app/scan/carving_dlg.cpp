#include "app/scan/carving_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/control_id.h"
#include "app/worker_reporting.h"
#include "scan/scan_texts.h"

namespace tarvik {

void CCarvingThread::run() {
    RunGuarded(notifier_,
               [this] { summary_ = session_.CarveFreeSpace(progress_, notifier_, Stop()); });
}

CCarvingDlg::CCarvingDlg(RecoverySession& session, QWidget* parent)
    : QDialog(parent), relay_(std::make_unique<CProgressRelay>()) {
    SetControlId(this, IDD_CARVING);
    setWindowTitle(kCarveCaption);
    auto* phase = new QLabel(this);
    SetControlId(phase, IDC_CARVE_PHASE);
    phase->setMinimumWidth(330);
    auto* bar = new QProgressBar(this);
    SetControlId(bar, IDC_CARVE_PROGRESS);
    bar->setTextVisible(false);
    auto* cancel = new QPushButton("Cancel", this);
    SetControlId(cancel, IDC_CARVE_CANCEL);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(phase);
    layout->addWidget(bar);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    relay_->SetBar(bar);
    relay_->SetLabel(kSlotPhase, phase);
    notices_ = std::make_unique<CWorkerNoticeRelay>();
    worker_ = std::make_unique<CCarvingThread>(session, *relay_, *notices_);
    notices_->SetStop(worker_->Stop());
    connect(cancel, &QPushButton::clicked, this, [this] { worker_->RequestStop(); });
    connect(
        worker_.get(), &QThread::finished, this,
        [this] {
            finished_ = true;
            relay_->Flush();
            QDialog::reject();
        },
        Qt::QueuedConnection);
}

CCarvingDlg::~CCarvingDlg() {
    if (worker_ && worker_->isRunning()) {
        worker_->RequestStop();
        worker_->Join();
    }
}

CarveSummary CCarvingDlg::Run() {
    worker_->start();
    exec();
    if (worker_->isRunning()) worker_->Join();
    relay_->Flush();
    return worker_->Summary();
}

// Escape and the close button ask the worker to stop, as Cancel does; the dialog ends
// when the worker has.
void CCarvingDlg::reject() {
    if (finished_) {
        QDialog::reject();
        return;
    }
    worker_->RequestStop();
}

std::string CarveSummaryText(const CarveSummary& s) {
    if (s.alreadyCarved)
        return "The free space of this drive was carved already: " + std::to_string(s.files) +
               " files are under \"Carved Files\".";
    std::string text = std::to_string(s.files) + " files found in free clusters (" +
                       std::to_string(s.partial) + " partial), under \"Carved Files\".";
    if (s.stopped) text = "Cancelled. " + text;
    return text;
}

}  // namespace tarvik
