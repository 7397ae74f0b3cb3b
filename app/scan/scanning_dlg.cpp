#include "app/scan/scanning_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <utility>

#include "app/busy_key_filter.h"
#include "app/control_id.h"
#include "app/pictures.h"
#include "app/scan/scan_overall.h"
#include "app/tarvik_app.h"
#include "app/time_left.h"
#include "app/worker_reporting.h"
#include "scan/scan_texts.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

QLabel* Counter(QWidget* parent, int id) {
    auto* label = new QLabel("0", parent);
    SetControlId(label, id);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(70);
    return label;
}

// The control that shows each of the scan's progress texts.
constexpr std::pair<ProgressSlot, int> kScanTextControls[] = {
    {kSlotNormalFiles, IDC_SCAN_NORMAL_FILES},
    {kSlotNormalDirectories, IDC_SCAN_NORMAL_DIRECTORIES},
    {kSlotDeletedFiles, IDC_SCAN_DELETED_FILES},
    {kSlotDeletedDirectories, IDC_SCAN_DELETED_DIRECTORIES},
    {kSlotLostFiles, IDC_SCAN_LOST_FILES},
    {kSlotLostDirectories, IDC_SCAN_LOST_DIRECTORIES},
    {kSlotPhase, IDC_SCAN_PHASE},
};

// One of the three boxes: labels for files and directories over their counters.
QGroupBox* CounterBox(QWidget* parent, int boxId, const char* title, int filesLabelId,
                      int directoriesLabelId, int filesId, int directoriesId) {
    auto* box = new QGroupBox(title, parent);
    SetControlId(box, boxId);
    auto* files = new QLabel("Files", box);
    SetControlId(files, filesLabelId);
    auto* directories = new QLabel("Directories", box);
    SetControlId(directories, directoriesLabelId);
    auto* grid = new QGridLayout(box);
    grid->addWidget(files, 0, 0);
    grid->addWidget(Counter(box, filesId), 0, 1);
    grid->addWidget(directories, 1, 0);
    grid->addWidget(Counter(box, directoriesId), 1, 1);
    return box;
}

// The picture, the phase line and the spare box above the counters.
QHBoxLayout* PhaseRow(QWidget* parent) {
    auto* picture = new QLabel(parent);
    SetControlId(picture, IDC_SCAN_PICTURE);
    picture->setPixmap(Picture(IDB_SCANNING));
    auto* phase = new QLabel(parent);
    SetControlId(phase, IDC_SCAN_PHASE);
    phase->setMinimumWidth(330);
    auto* spare = new QLabel(parent);
    SetControlId(spare, IDC_SCAN_SPARE);
    spare->setAlignment(Qt::AlignCenter);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addWidget(phase, 1);
    top->addWidget(spare);
    return top;
}

QHBoxLayout* CounterBoxes(QWidget* parent) {
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(CounterBox(parent, 1010, "Normal Data", 1014, 1015, IDC_SCAN_NORMAL_FILES,
                                IDC_SCAN_NORMAL_DIRECTORIES));
    boxes->addWidget(CounterBox(parent, 1011, "Deleted Data", 1017, 1018, IDC_SCAN_DELETED_FILES,
                                IDC_SCAN_DELETED_DIRECTORIES));
    boxes->addWidget(CounterBox(parent, 1012, "Lost Data", 1019, 1020, IDC_SCAN_LOST_FILES,
                                IDC_SCAN_LOST_DIRECTORIES));
    return boxes;
}

}  // namespace

// ---- CScanningHDDThread

namespace {

// Passes on the bar's moves but no text.
class BarOnly final : public ProgressSink {
  public:
    explicit BarOnly(ProgressSink& next) : next_(next) {}
    void SetText(int, const std::string&) override {}
    void SetRange(std::uint64_t low, std::uint64_t high) override { next_.SetRange(low, high); }
    void SetPosition(std::uint64_t position) override { next_.SetPosition(position); }
    void SetStep(std::uint64_t step) override { next_.SetStep(step); }
    void StepIt() override { next_.StepIt(); }

  private:
    ProgressSink& next_;
};

}  // namespace

CScanningHDDThread::CScanningHDDThread(RecoverySession& session, bool advanceSearch,
                                       ProgressSink& progress, Notifier& notifier, QObject* parent)
    : CWorkerThread(parent),
      session_(session),
      advanceSearch_(advanceSearch),
      progress_(progress),
      notifier_(notifier) {}

void CScanningHDDThread::run() {
    RunGuarded(notifier_, [this] {
        if (advanceSearch_)
            session_.AdvanceSearch(progress_, notifier_, Stop());
        else
            session_.Scan(progress_, notifier_, Stop());
        // The file list's Condition column: what is left of each file, weighed once as
        // part of the housekeeping, whose text stays while the bar moves again.
        if (!Stop()->load() && session_.HasDrive()) {
            BarOnly bar(progress_);
            session_.Conditions(bar, Stop());
        }
    });
}

// ---- CScanningDlg

CScanningDlg::CScanningDlg(RecoverySession& session, bool advanceSearch, QWidget* parent)
    : CWorkerDialog(parent) {
    SetControlId(this, IDD_SCANNING);
    CTarvikApp* app = CTarvikApp::Instance();
    setWindowTitle(app && app->State().advanceSearchDone ? kAdvanceSearchTitle : kScanningTitle);

    auto* top = PhaseRow(this);
    auto* phase = FindControl<QLabel>(this, IDC_SCAN_PHASE);
    auto* boxes = CounterBoxes(this);

    auto* bar = new QProgressBar(this);
    SetControlId(bar, IDC_SCAN_PROGRESS);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);

    auto* estimate = new QLabel(this);
    estimate->setObjectName("estimate");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancel");
    cancel->setAutoDefault(false);
    SetStopButton(cancel, true);
    auto* overall = new QProgressBar(this);
    overall->setObjectName("overall");
    auto* overallText = new QLabel(this);
    overallText->setObjectName("overallText");
    overallText->setTextFormat(Qt::PlainText);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(overallText, 1);
    bottom->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(boxes);
    layout->addWidget(bar);
    layout->addWidget(estimate);
    layout->addSpacing(fontMetrics().lineSpacing() / 2);
    layout->addWidget(new QLabel("The whole scan:", this));
    layout->addWidget(overall);
    layout->addLayout(bottom);
    new CTimeLeft(bar, estimate, this);
    new CScanOverall(Progress(), bar, phase, overall, overallText, this);

    // The worker reports to the bar, the six counters and the phase line; the spare box
    // is never written.
    Progress().SetBar(bar);
    for (const auto& [slot, control] : kScanTextControls)
        Progress().SetLabel(slot, FindControl<QLabel>(this, control));

    GuardKeys(kStopBeforeClosingText, true);
    Adopt(std::make_unique<CScanningHDDThread>(session, advanceSearch, Progress(), Notices()));
}

bool CScanningDlg::Run() {
    RunWorker(StartAt::kNow);
    return !Worker()->StopRequested();
}

}  // namespace tarvik
