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
    : CWorkerDialog(parent, Qt::WindowFlags()) {
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
    Progress().SetBar(bar);
    Progress().SetLabel(kSlotPhase, phase);
    SetStopButton(cancel, false);
    Adopt(std::make_unique<CCarvingThread>(session, Progress(), Notices()));
}

CarveSummary CCarvingDlg::Run() {
    RunWorker(StartAt::kNow);
    return Worker()->Summary();
}

// Escape and the close button ask the worker to stop, as Cancel does; the dialog ends
// when the worker has.
void CCarvingDlg::reject() {
    if (WorkerFinished()) {
        QDialog::reject();
        return;
    }
    StopWorker();
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
