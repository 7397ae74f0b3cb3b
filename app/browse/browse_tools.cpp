#include "app/browse/browse_tools.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/browse/breadcrumbs.h"
#include "app/browse/filter_bar.h"
#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/main_frame.h"
#include "app/preview/preview_pane.h"
#include "app/tarvik_app.h"
#include "app/worker_thread.h"
#include "session/entry_filter.h"
#include "session/recovery_session.h"
#include "session/saved_scan.h"

namespace tarvik {
namespace {

const char* const kPreviewSetting = "view/previewPane";
const char* const kHideSystemSetting = "view/hideSystemFiles";
const char* const kScanFilter = "Saved scans (*.tarvikscan);;All files (*)";
constexpr int kPreviewWidth = 320;

class QuietNotifier final : public Notifier {
  public:
    void Notify(const std::string&, const std::string&, NoticeIcon) override {}
};

QMenu* MenuTitled(QMenuBar* bar, const QString& title) {
    for (QAction* action : bar->actions())
        if (action->menu() && action->text() == title) return action->menu();
    return nullptr;
}

}  // namespace

CBrowseTools::CBrowseTools(CTarvikApp& app, CMainFrame& frame)
    : QObject(&frame), app_(app), frame_(frame) {
    setObjectName(QStringLiteral("browseTools"));
    RecoverySession& session = *app_.Session;
    preview_ = new CPreviewPane(session, frame.Splitter());
    frame.Splitter()->addWidget(preview_);
    frame.Splitter()->setStretchFactor(2, 0);
    // The path and the filter bar sit above the panes.
    QWidget* panes = frame.takeCentralWidget();
    auto* client = new QWidget(&frame);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    breadcrumbs_ = new CBreadcrumbs(client);
    filterBar_ = new CFilterBar(client);
    layout->addWidget(breadcrumbs_);
    layout->addWidget(filterBar_);
    layout->addWidget(panes, 1);
    frame.setCentralWidget(client);

    CTarvikView* list = frame.ListView();
    connect(list->Model(), &QAbstractItemModel::modelReset, this, &CBrowseTools::OnListReset);
    connect(list->DetailsView()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CBrowseTools::OnCurrentRow);
    connect(filterBar_, &CFilterBar::Changed, this, &CBrowseTools::ApplyFilter);
    connect(filterBar_, &CFilterBar::Closed, this, &CBrowseTools::ApplyFilter);
    connect(breadcrumbs_, &CBreadcrumbs::FolderChosen, this, [this](CheckTree::FolderNode node) {
        if (CLeftView* tree = frame_.LeftView()) tree->SelectNode(node);
    });
    auto* filterKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+F")), &frame);
    filterKey->setContext(Qt::WindowShortcut);
    connect(filterKey, &QShortcut::activated, filterBar_, &CFilterBar::Open);
    // A long call reads the drive on its own thread: the preview lets go of it first.
    CPreviewPane* preview = preview_;
    CWorkerThread::SetBeforeWork([preview] { preview->Halt(); });
    connect(preview_, &QObject::destroyed, [] { CWorkerThread::SetBeforeWork({}); });
    InstallMenus();
    SetPreviewShown(QSettings().value(kPreviewSetting, false).toBool());
}

void CBrowseTools::InstallMenus() {
    QMenuBar* bar = frame_.menuBar();
    if (QMenu* view = MenuTitled(bar, QStringLiteral("&View"))) {
        view->addSeparator();
        previewAction_ = view->addAction(QStringLiteral("&Preview Pane"));
        previewAction_->setCheckable(true);
        previewAction_->setStatusTip(QStringLiteral("Show or hide the preview of the chosen file"));
        connect(previewAction_, &QAction::toggled, this, [this](bool shown) {
            SetPreviewShown(shown);
            QSettings().setValue(kPreviewSetting, shown);
        });
        hideSystemAction_ = view->addAction(QStringLiteral("&Hide System Files"));
        hideSystemAction_->setCheckable(true);
        hideSystemAction_->setChecked(QSettings().value(kHideSystemSetting, false).toBool());
        hideSystemAction_->setStatusTip(QStringLiteral(
            "Leave the volume's own files ($MFT, $LogFile, $Extend...) out of the list"));
        connect(hideSystemAction_, &QAction::toggled, this, [this](bool hide) {
            QSettings().setValue(kHideSystemSetting, hide);
            HideSystemFolders(hide);
            ApplyFilter();
        });
        HideSystemFolders(hideSystemAction_->isChecked());
        QAction* filter = view->addAction(QStringLiteral("&Filter Bar\tCtrl+F"));
        connect(filter, &QAction::triggered, filterBar_, &CFilterBar::Open);
    }
    if (QMenu* file = MenuTitled(bar, QStringLiteral("&File"))) {
        QAction* first = file->actions().value(0);
        auto* open = new QAction(QStringLiteral("&Open Scan..."), file);
        open->setStatusTip(QStringLiteral("Show a saved scan again without scanning"));
        saveScanAction_ = new QAction(QStringLiteral("Sa&ve Scan..."), file);
        saveScanAction_->setStatusTip(
            QStringLiteral("Keep this scan in a file, to open it again without scanning"));
        file->insertAction(first, open);
        file->insertAction(first, saveScanAction_);
        file->insertSeparator(first);
        connect(open, &QAction::triggered, this, &CBrowseTools::OnOpenScan);
        connect(saveScanAction_, &QAction::triggered, this, &CBrowseTools::OnSaveScan);
        connect(file, &QMenu::aboutToShow, this, [this] {
            saveScanAction_->setEnabled(app_.Session->HasDrive() && app_.State().panes.listFilled);
        });
    }
}

void CBrowseTools::HideSystemFolders(bool hide) {
    CLeftView* tree = frame_.LeftView();
    if (!tree) return;
    const CheckTree::FolderNode shown = tree->SelectedNode();
    tree->Model()->SetHidesSystem(hide);
    // A folder that left the tree cannot stay the one the list shows.
    if (hide && tree->Model()->Tree() && !tree->Model()->IndexOf(shown).isValid())
        tree->SelectNode(CheckTree::kRootNode);
}

bool CBrowseTools::HidesSystemFiles() const {
    return hideSystemAction_ != nullptr && hideSystemAction_->isChecked();
}

void CBrowseTools::SetPreviewShown(bool shown) {
    if (previewAction_ && previewAction_->isChecked() != shown) {
        const QSignalBlocker block(previewAction_);
        previewAction_->setChecked(shown);
    }
    if (!shown) preview_->Halt();
    const bool wasHidden = preview_->isHidden();
    preview_->setVisible(shown);
    if (shown && wasHidden) {
        QList<int> sizes = frame_.Splitter()->sizes();
        if (sizes.size() == 3 && sizes[2] < kPreviewWidth / 2) {
            sizes[1] = std::max(100, sizes[1] - kPreviewWidth);
            sizes[2] = kPreviewWidth;
            frame_.Splitter()->setSizes(sizes);
        }
        OnCurrentRow();
    }
}

void CBrowseTools::OnCurrentRow() {
    if (preview_->isHidden()) return;
    CTarvikView* list = frame_.ListView();
    const QModelIndex current = list ? list->DetailsView()->currentIndex() : QModelIndex();
    RecoverySession& session = *app_.Session;
    if (!current.isValid() || !session.HasDrive()) {
        preview_->ShowEntry(std::nullopt);
        return;
    }
    const std::size_t position = list->Model()->PositionOf(current.row());
    preview_->ShowEntry(session.Checks().Placed()[position].catalogueIndex);
}

void CBrowseTools::OnListReset() {
    // The rows before are gone, and with a new drive the catalogue too: the preview
    // lets go of both at once.
    preview_->ShowEntry(std::nullopt);
    // A folder shown while a filter is set is filtered as well.
    if (!filling_ && (!filterBar_->Idle() || HidesSystemFiles()) && app_.Session->HasDrive() &&
        app_.State().panes.listFilled) {
        ApplyFilter();
        return;
    }
    ShowPath();
}

void CBrowseTools::ShowPath() {
    RecoverySession& session = *app_.Session;
    CTarvikView* list = frame_.ListView();
    if (!session.HasDrive() || !list || !app_.State().panes.listFilled) {
        breadcrumbs_->ShowFolder(nullptr, nullptr, 0);
        return;
    }
    QString note;
    if (!filterBar_->Idle())
        note = QStringLiteral("%1 found%2")
                   .arg(list->Model()->rowCount())
                   .arg(filterBar_->WholeVolume() ? QStringLiteral(" in the whole volume")
                                                  : QString());
    breadcrumbs_->ShowFolder(&session.Checks(), &session.GetCatalogue(), list->Model()->Folder(),
                             note);
}

void CBrowseTools::ApplyFilter() {
    RecoverySession& session = *app_.Session;
    CTarvikView* list = frame_.ListView();
    if (!session.HasDrive() || !list || !app_.State().panes.listFilled) return;
    filling_ = true;
    CFileListModel* model = list->Model();
    if (filterBar_->Idle() && !HidesSystemFiles()) {
        list->FillList(model->Folder());
        filling_ = false;
        return;
    }
    EntryFilter filter = filterBar_->Idle() ? EntryFilter{} : filterBar_->Filter();
    filter.hideSystem = HidesSystemFiles();
    const Catalogue& catalogue = session.GetCatalogue();
    const ConditionTable* conditions = session.MadeConditions();
    const CheckTree& tree = session.Checks();
    std::vector<std::size_t> positions;
    if (!filterBar_->Idle() && filterBar_->WholeVolume()) {
        for (const std::size_t index : FilterCatalogue(catalogue, filter, conditions))
            positions.push_back(tree.PositionOfIndex(index));
    } else {
        for (const std::size_t position : tree.Rows(model->Folder()))
            if (EntryPasses(catalogue, tree.Placed()[position].catalogueIndex, filter, conditions))
                positions.push_back(position);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model->FillRows(std::move(positions));
    QApplication::restoreOverrideCursor();
    filling_ = false;
    ShowPath();
}

QString CBrowseTools::SaveScanTo(const QString& path) {
    RecoverySession& session = *app_.Session;
    if (!session.HasDrive()) return QStringLiteral("No drive has been scanned.");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto failed = session.SaveScan(path.toStdString());
    QApplication::restoreOverrideCursor();
    if (failed)
        return QStringLiteral("The scan cannot be saved to %1: %2")
            .arg(path, QString::fromStdString(*failed));
    return {};
}

QString CBrowseTools::OpenScanFrom(const QString& path, bool askForDisk) {
    std::string why;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::optional<SavedScan> saved = SavedScan::Load(path.toStdString(), why);
    QApplication::restoreOverrideCursor();
    if (!saved)
        return QStringLiteral("%1 cannot be opened: %2").arg(path, QString::fromStdString(why));
    RecoverySession& session = *app_.Session;
    filterBar_->Close();
    frame_.ClearViews();
    NullProgressSink quiet;
    QuietNotifier notifier;
    std::string refusal;
    const auto tryDisk = [&](std::size_t disk) {
        if (!session.FindDrives(disk, DriveDiscovery::kPartitionTableOnly, quiet, notifier))
            return false;
        const auto row = session.DriveRowOf(saved->identity());
        if (!row || session.OpenDrive(*row, notifier) != DriveOpening::kOpened) return false;
        if (auto refused = session.ReopenScan(*saved)) {
            refusal = *refused;
            return false;
        }
        return true;
    };
    bool opened = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (std::size_t disk = 0; !opened && disk < session.ListDisks().size(); ++disk)
        opened = tryDisk(disk);
    QApplication::restoreOverrideCursor();
    if (!opened && askForDisk) {
        const QString image = QFileDialog::getOpenFileName(
            &frame_, QStringLiteral("The disk the scan was made of"), QString(),
            QStringLiteral("Disk images (*.img *.dd *.raw *.bin *.iso *.001);;All files (*)"));
        std::size_t disk = 0;
        if (!image.isEmpty()) {
            if (auto problem = session.AddDisk(image.toStdString(), disk))
                refusal = *problem;
            else
                opened = tryDisk(disk);
        }
    }
    if (!opened) {
        if (session.HasDrive()) session.CloseDrive();
        return refusal.empty()
                   ? QStringLiteral("None of the disks is the one the scan was made of.")
                   : QStringLiteral("The scan was not made of this disk: %1.")
                         .arg(QString::fromStdString(refusal));
    }
    frame_.ShowScannedDrive();
    return {};
}

void CBrowseTools::OnSaveScan() {
    QString path = QFileDialog::getSaveFileName(&frame_, QStringLiteral("Save Scan"), QString(),
                                                QString::fromLatin1(kScanFilter));
    if (path.isEmpty()) return;
    if (!path.contains(QLatin1Char('.'))) path += QStringLiteral(".tarvikscan");
    if (const QString failed = SaveScanTo(path); !failed.isEmpty())
        QMessageBox::warning(&frame_, QStringLiteral("Save Scan"), failed);
}

void CBrowseTools::OnOpenScan() {
    const QString path = QFileDialog::getOpenFileName(&frame_, QStringLiteral("Open Scan"),
                                                      QString(), QString::fromLatin1(kScanFilter));
    if (path.isEmpty()) return;
    if (const QString failed = OpenScanFrom(path, true); !failed.isEmpty())
        QMessageBox::warning(&frame_, QStringLiteral("Open Scan"), failed);
}

}  // namespace tarvik
