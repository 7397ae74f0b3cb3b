#include "app/main_frame.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>

#include "app/browse/browse_tools.h"
#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/command_ids.h"
#include "app/control_id.h"
#include "app/disks/drive_chooser.h"
#include "app/pictures.h"
#include "app/resource_ids.h"
#include "app/status_totals.h"
#include "app/tarvik_app.h"
#include "app/view_settings.h"
#include "app/window_fit.h"
#include "app/worker_thread.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

// How often the toolbar's buttons are brought in step with the flags while idle.
constexpr int kToolbarUpdateMs = 200;

QLabel* Pane(QWidget* parent, const QString& text) {
    auto* pane = new QLabel(text, parent);
    pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pane->setContentsMargins(3, 0, 3, 0);
    return pane;
}

}  // namespace

CMainFrame::CMainFrame(CTarvikApp& app, QWidget* parent)
    : QMainWindow(parent), app_(app), chooser_(std::make_unique<CDriveChooser>(app, *this)) {
    SetControlId(this, IDR_MAINFRAME);
    setWindowTitle(kMainTitle);
    ShowFileFilter();
    setWindowIcon(ProgramIcon());
    app_.State().panes.listFilled = false;
    CreateToolBar();
    CreateStatusBar();
    CreateClient();
    CreateMenus();
    CreateAccelerators();
    InstallShellHandlers();
    new CBrowseTools(app_, *this);
    UpdateToolbarState();
    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, &CMainFrame::UpdateToolbarState);
    idle->start(kToolbarUpdateMs);
    FitToScreen(this, QSize(1040, 640));
    RestoreViewSettings(*this, app_);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateToolBar() {
    toolBar_ = new QToolBar("Toolbar", this);
    SetControlId(toolBar_, IDR_MAINFRAME);
    toolBar_->setIconSize(QSize(30, 30));
    toolBar_->setMovable(true);
    toolBar_->setFloatable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    int image = 0;
    for (int id : ToolbarLayout()) {
        if (id == ID_SEPARATOR) {
            toolBar_->addSeparator();
            continue;
        }
        const char* tip = CommandToolTip(id);
        QAction* action = toolBar_->addAction(ToolbarIcon(image++), tip ? tip : CommandPrompt(id));
        SetControlId(action, id);
        if (const char* prompt = CommandPrompt(id)) action->setStatusTip(prompt);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        toolbarActions_[id] = action;
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    panes_[0] = Pane(bar, "Ready");
    panes_[0]->setFixedWidth(kPromptPaneWidth);

    auto* totals = new QWidget(bar);
    // The pane widens when a large drive's totals need more room than it starts with.
    totals->setMinimumWidth(kTotalsPaneWidth);
    auto* totalsLayout = new QHBoxLayout(totals);
    totalsLayout->setContentsMargins(0, 0, 0, 0);
    totalsLayout->setSpacing(0);
    panes_[1] = Pane(totals, kStartTotalText);
    auto* icon = new QLabel(panes_[1]);
    SetControlId(icon, IDI_STATUS);
    icon->setPixmap(Picture(IDI_STATUS));
    // The icon sits in the pane, before its text.
    panes_[1]->setContentsMargins(22, 0, 3, 0);
    icon->move(4, 2);
    totalsLayout->addWidget(panes_[1]);

    panes_[2] = Pane(bar, kStartSelectedText);
    for (int i = 0; i < 3; ++i) panes_[i]->setObjectName(QString("pane%1").arg(i));
    bar->addWidget(panes_[0]);
    bar->addWidget(totals);
    bar->addWidget(panes_[2], 1);
    filterPane_ = new QLabel(bar);
    filterPane_->setObjectName("filterPane");
    filterPane_->setTextFormat(Qt::PlainText);
    filterPane_->hide();
    bar->addPermanentWidget(filterPane_);
}

void CMainFrame::ShowFileFilter() {
    if (filterPane_ == nullptr) return;
    const FileFilter* filter = Session().HasDrive() ? Session().GetFileFilter() : nullptr;
    const QString summary = QString::fromStdString(FileFilterSummary(filter));
    filterPane_->setText(summary.isEmpty() ? QString() : "File filter: " + summary);
    filterPane_->setToolTip(summary.isEmpty() ? QString()
                                              : "Recoveries write only the files this filter "
                                                "lets through (File > Remove File Filter)");
    filterPane_->setVisible(!summary.isEmpty());
}

void CMainFrame::CreateClient() {
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName("splitter");
    splitter_->setChildrenCollapsible(false);
    auto* tree = new CLeftView(app_, *this, splitter_);
    auto* list = new CTarvikView(app_, *this, splitter_);
    tree->SetListView(list);
    list->SetTreeView(tree);
    splitter_->addWidget(tree);
    splitter_->addWidget(list);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kTreePaneWidth, 100});
    setCentralWidget(splitter_);
}

QWidget* CMainFrame::TreeView() const {
    return splitter_->widget(0);
}

CLeftView* CMainFrame::LeftView() const {
    return qobject_cast<CLeftView*>(splitter_->widget(0));
}

CTarvikView* CMainFrame::ListView() const {
    return qobject_cast<CTarvikView*>(splitter_->widget(1));
}

FileListPane* CMainFrame::FileListView() const {
    return dynamic_cast<FileListPane*>(splitter_->widget(1));
}

void CMainFrame::ReplacePanes(QWidget* tree, QWidget* list) {
    const QList<int> sizes = splitter_->sizes();
    if (tree) delete splitter_->replaceWidget(0, tree);
    if (list) delete splitter_->replaceWidget(1, list);
    splitter_->setSizes(sizes);
}

RecoverySession& CMainFrame::Session() const {
    return *app_.Session;
}

void CMainFrame::ShowTotals() {
    if (!Session().HasDrive()) return;
    const DriveProperties totals = Session().Properties();
    panes_[1]->setText(QString::fromStdString(
        TotalsText("Total", totals.totalBytes, totals.totalFiles, totals.totalDirectories)));
    panes_[1]->repaint();
}

void CMainFrame::ShowSelectedTotals() {
    panes_[2]->setText(QString::fromStdString(TotalsText("Checked", app_.State().checked.bytes,
                                                         app_.State().checked.files,
                                                         app_.State().checked.folders)));
    panes_[2]->repaint();
}

QLabel* CMainFrame::StatusPane(int index) const {
    return index >= 0 && index < 3 ? panes_[index] : nullptr;
}

bool CMainFrame::event(QEvent* event) {
    // Prompts go to the first pane instead of covering the whole bar.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        panes_[0]->setText(tip.isEmpty() ? QStringLiteral("Ready") : tip);
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    OnClose();
    event->accept();
}

void CMainFrame::showEvent(QShowEvent* event) {
    closing_ = false;
    QMainWindow::showEvent(event);
}

void CMainFrame::OnClose() {
    closing_ = true;
    SaveViewSettings(*this, app_);
    // A scan or search still running is stopped and waited for before its drive goes.
    CWorkerThread::StopAll();
    // The views let go of the catalogue before the drive goes.
    ClearViews();
    Session().CloseDrive();
}

void CMainFrame::ClearViews() {
    setWindowTitle(kMainTitle);
    // The views let go of the session's catalogue and check tree, which a new drive or
    // search replaces.
    if (CLeftView* tree = LeftView()) tree->ClearTree();
    if (CTarvikView* list = ListView()) list->ResetList();
    app_.State().panes.listFilled = false;
    app_.State().checked.any = false;
    app_.State().find.nextEnabled = false;
    app_.State().panes.deletedFoldersPresent = false;
    UpdateToolbarState();
}

void CMainFrame::ShowScannedDrive() {
    app_.State().panes.listFilled = true;
    // The title names the disk and where on it the drive starts.
    const DriveProperties drive = Session().Properties();
    // Disks are numbered from 0x80 in the order of the disk list.
    const std::vector<DiskSummary> disks = Session().ListDisks();
    const std::size_t at = drive.driveCode >= 0x80 ? drive.driveCode - 0x80 : disks.size();
    const QString disk = at < disks.size()
                             ? QFileInfo(QString::fromStdString(disks[at].path)).fileName()
                             : QString("disk %1").arg(drive.driveCode);
    setWindowTitle(QStringLiteral("%1 \u2014 %2, drive at sector %3")
                       .arg(kMainTitle, disk)
                       .arg(drive.partitionStart));
    if (CLeftView* tree = LeftView()) tree->BuildTree();
    ShowTotals();
    UpdateToolbarState();
}

void CMainFrame::OnOpenDiskImage() {
    const QString path = QFileDialog::getOpenFileName(
        this, "Open Disk Image", LastImageFolder(),
        "Disk images (*.img *.dd *.raw *.bin *.iso *.001 *.E01 *.e01 *.vhd *.vhdx *.vmdk "
        "*.qcow *.qcow2);;Raw and split raw images (*.img *.dd *.raw *.bin *.iso *.001);;"
        "EnCase images (*.E01 *.e01);;Virtual disks (*.vhd *.vhdx *.vmdk *.qcow *.qcow2);;"
        "All files (*)");
    if (path.isEmpty()) return;
    RememberImageFolder(QFileInfo(path).absolutePath());
    chooser_->OpenDiskImage(path.toStdString());
}

}  // namespace tarvik
