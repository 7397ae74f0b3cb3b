#include "app/disks/search_drives_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "app/busy_key_filter.h"
#include "app/control_id.h"
#include "app/worker_reporting.h"
#include "common/progress_slot.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

// The control that shows each of the drive search's progress texts.
constexpr std::pair<ProgressSlot, int> kSearchTextControls[] = {
    {kSlotSearchStatus, IDC_SEARCH_STATUS},
    {kSlotSearchSector, IDC_SEARCH_SECTOR},
    {kSlotSearchTotal, IDC_SEARCH_TOTAL},
    {kSlotSearchFound, IDC_SEARCH_FOUND},
};

QLabel* Text(QWidget* parent, int id, const char* text) {
    auto* label = new QLabel(text, parent);
    SetControlId(label, id);
    return label;
}

QLabel* Counter(QWidget* parent, int id) {
    auto* label = Text(parent, id, "0");
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(90);
    return label;
}

}  // namespace

// ---- CSearchLogDrivesThread

CSearchLogDrivesThread::CSearchLogDrivesThread(RecoverySession& session, std::size_t disk,
                                               ProgressSink& progress, Notifier& notifier,
                                               QObject* parent)
    : CWorkerThread(parent),
      session_(session),
      disk_(disk),
      progress_(progress),
      notifier_(notifier) {}

void CSearchLogDrivesThread::run() {
    RunGuarded(notifier_, [this] {
        found_ =
            session_.FindDrives(disk_, DriveDiscovery::kSearchDisk, progress_, notifier_, Stop());
    });
}

// ---- CSearchLogDrivesDlg

CSearchLogDrivesDlg::CSearchLogDrivesDlg(RecoverySession& session, std::size_t disk,
                                         QWidget* parent)
    : CWorkerDialog(parent), notices_(std::make_unique<CDeferredNotices>()) {
    SetControlId(this, IDD_SEARCH_LOGICAL_DRIVES);
    setWindowTitle("Searching NTFS Logical Drives");

    auto* status = Text(this, IDC_SEARCH_STATUS, "");
    status->setAlignment(Qt::AlignCenter);
    status->setMinimumWidth(300);
    auto* counters = new QGridLayout;
    counters->addWidget(Text(this, IDC_SEARCH_SECTOR_LABEL, "Searching Sector"), 0, 0);
    counters->addWidget(Counter(this, IDC_SEARCH_SECTOR), 0, 1);
    auto* of = Text(this, IDC_SEARCH_OF, "of");
    of->setAlignment(Qt::AlignCenter);
    counters->addWidget(of, 0, 2);
    counters->addWidget(Counter(this, IDC_SEARCH_TOTAL), 0, 3);
    auto* bar = new QProgressBar(this);
    SetControlId(bar, IDC_SEARCH_PROGRESS);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    auto* found = new QHBoxLayout;
    found->addWidget(Text(this, IDC_SEARCH_FOUND_LABEL, "Logical Drives Found"));
    found->addWidget(Counter(this, IDC_SEARCH_FOUND));
    found->addStretch(1);
    auto* abort = new QPushButton("Abort", this);
    SetControlId(abort, IDC_SEARCH_ABORT);
    abort->setAutoDefault(false);
    // The worker ends after the chunk it reads; its end closes the dialog.
    SetStopButton(abort, false);
    found->addWidget(abort);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status);
    layout->addLayout(counters);
    layout->addWidget(bar);
    layout->addLayout(found);

    Progress().SetBar(bar);
    for (const auto& [slot, control] : kSearchTextControls)
        Progress().SetLabel(slot, FindControl<QLabel>(this, control));

    GuardKeys(kStopBeforeClosingText, true);
    Adopt(std::make_unique<CSearchLogDrivesThread>(session, disk, Progress(), *notices_));
}

CSearchLogDrivesDlg::~CSearchLogDrivesDlg() {
    // The worker writes to the kept notices.
    EndWorker();
}

bool CSearchLogDrivesDlg::Run() {
    RunWorker(StartAt::kNow);
    hide();
    return Worker()->Found();
}

void CSearchLogDrivesDlg::ShowNotices() {
    notices_->ShowAll();
}

}  // namespace tarvik
