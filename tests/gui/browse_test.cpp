// The folder tree and the file list over a scanned fixture drive: images, check boxes
// clicked with the mouse and their spreading, the status bar's selected totals, the
// list's sorts, Find and Find Next, and above all that the marks shown are the marks the
// recovery acts on, after any sequence of clicks.
#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <filesystem>
#include <random>
#include <set>

#include "app/browse/find_dlg.h"
#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/command_ids.h"
#include "app/control_id.h"
#include "app/main_frame.h"
#include "app/status_totals.h"
#include "gui_test_main.h"
#include "modal_script.h"
#include "sample_drive.h"
#include "session/recovery_session.h"

using namespace tarvik;
using namespace tarvik::testing;
namespace fs = std::filesystem;

namespace {}  // namespace

class BrowseTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }
    CMainFrame* Frame() { return App().CreateMainFrame(); }
    RecoverySession& Session() { return *App().Session; }
    CLeftView* Tree() { return Frame()->LeftView(); }
    CTarvikView* List() { return Frame()->ListView(); }
    CheckTree& Checks() { return Session().Checks(); }

    QModelIndex TreeItem(const QStringList& path) { return TreeItemAt(Tree(), path); }
    int ListRow(const QString& name) {
        for (int row = 0; row < List()->Model()->rowCount(); ++row)
            if (List()->Model()->index(row, 0).data().toString() == name) return row;
        return -1;
    }
    void ClickTreeBox(const QModelIndex& index) {
        Tree()->scrollTo(index);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          Tree()->CheckRectOf(index).center());
    }
    void ClickRowBox(int row) {
        QAbstractItemView* view = List()->RowView();
        const QModelIndex index = List()->Model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          List()->CheckRectOf(index).center());
    }
    Qt::CheckState Shown(const QModelIndex& index) {
        return static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
    }

    // Every tree item and list row shows its entry's mark, and the selected totals are
    // those of the checked entries (those no folder holds included: they are written too).
    void CheckViewsAgreeWithEntries() {
        const CheckTree& checks = Checks();
        const Catalogue& catalogue = Session().GetCatalogue();
        for (CheckTree::FolderNode node = 0; node < checks.FolderNodeCount(); ++node)
            QCOMPARE(Shown(Tree()->Model()->IndexOf(node)), CheckStateOf(checks.FolderMark(node)));
        for (int row = 0; row < List()->Model()->rowCount(); ++row) {
            const std::size_t index =
                checks.Placed()[List()->Model()->PositionOf(row)].catalogueIndex;
            QCOMPARE(Shown(List()->Model()->index(row, 0)), CheckStateOf(checks.Marks().Of(index)));
        }
        SelectionTotals totals;
        for (std::size_t p = 0; p < checks.Placed().size(); ++p) {
            const std::size_t index = checks.Placed()[p].catalogueIndex;
            if (!checks.Marks().IsChecked(index)) continue;
            const CatalogueEntry& entry = catalogue.At(index);
            (entry.IsDirectory() ? totals.folders : totals.files) += 1;
            totals.bytes += entry.size;
        }
        QCOMPARE(Frame()->StatusPane(2)->text(),
                 QString::fromStdString(
                     TotalsText("Checked", totals.bytes, totals.files, totals.folders)));
        QCOMPARE(App().State().checked.any, totals.files + totals.folders > 0);
        // Recover Selected Files is usable exactly while something is checked.
        QCOMPARE(Frame()->ToolbarButtonEnabled(ID_RECOVER_SELECTED),
                 totals.files + totals.folders > 0);
    }

  private slots:
    void initTestCase() {
        if (!fs::exists(Fixture("sample-disk.img"))) QSKIP("sample-disk.img not made");
        QVERIFY(ScanFirstDrive(Session(), "sample-disk.img"));
        Frame()->resize(900, 600);
        Frame()->show();
        // After a normal scan the tree comes after the advice to try Advance Search.
        ModalScript note;
        note.Then([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
        Frame()->ShowScannedDrive();
        QCOMPARE(note.seen, QStringList({"178"}));
        CLeftView::SetImportantNoteShown(false);
    }

    void init() {
        if (!Session().HasDrive()) QSKIP("no drive");
        Frame()->OnCommand(ID_UNSELECT_ALL);
        Tree()->SelectNode(CheckTree::kRootNode);
    }

    void theTreeShowsSortedFoldersWithTheirImagesAndRootFillsTheList() {
        const QModelIndex root = Tree()->Model()->index(0, 0);
        QCOMPARE(root.data().toString(), QString("Root"));
        QStringList names;
        for (int row = 0; row < Tree()->Model()->rowCount(root); ++row)
            names << Tree()->Model()->index(row, 0, root).data().toString();
        QStringList sorted = names;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(names, sorted);
        QVERIFY(names.contains("Documents") && names.contains("Photos"));
        QCOMPARE(Tree()->Model()->ImageOf(Tree()->Model()->NodeOf(root)), 0);
        QCOMPARE(Tree()->Model()->ImageOf(Tree()->Model()->NodeOf(TreeItem({"Documents"}))), 1);
        QCOMPARE(Tree()->Model()->ImageOf(Tree()->Model()->NodeOf(TreeItem({"Old"}))), 3);
        QVERIFY(App().State().panes.deletedFoldersPresent);
        QVERIFY(App().State().panes.listFilled);
        QVERIFY(ListRow("readme.txt") >= 0);
        const int readme = ListRow("readme.txt");
        QCOMPARE(List()->Model()->index(readme, CFileListModel::kType).data().toString(),
                 QString("File"));
        QCOMPARE(List()->Model()->index(readme, CFileListModel::kSize).data().toString(),
                 QLocale().formattedDataSize(300, 1, QLocale::DataSizeTraditionalFormat));
        QCOMPARE(
            List()->Model()->index(readme, CFileListModel::kSize).data(Qt::ToolTipRole).toString(),
            QString("300 bytes"));
        QVERIFY(List()
                    ->Model()
                    ->index(readme, CFileListModel::kSize)
                    .data(Qt::TextAlignmentRole)
                    .toInt() &
                Qt::AlignRight);
        QCOMPARE(List()->DetailsView()->header()->sectionSize(3), 145);
        QCOMPARE(List()
                     ->Model()
                     ->headerData(CFileListModel::kParentId, Qt::Horizontal, Qt::DisplayRole)
                     .toString(),
                 QString("Parent Id"));
        // The last column: what is left of each file, and why in its tooltip.
        const QModelIndex readmeCondition =
            List()->Model()->index(readme, CFileListModel::kCondition);
        QCOMPARE(List()
                     ->Model()
                     ->headerData(CFileListModel::kCondition, Qt::Horizontal, Qt::DisplayRole)
                     .toString(),
                 QString("Condition"));
        QCOMPARE(readmeCondition.data().toString(), QString("Intact"));
        QCOMPARE(readmeCondition.data(Qt::ToolTipRole).toString(),
                 QString("In use: its clusters are its own"));
        QCOMPARE(
            List()->Model()->index(ListRow("Photos"), CFileListModel::kCondition).data().toString(),
            QString());
        SaveShot(Frame(), "browse-root");
    }

    void boxesSpreadDownAndUpAndTheTotalsFollow() {
        const QModelIndex documents = TreeItem({"Documents"});
        ClickTreeBox(documents);
        QCOMPARE(Shown(documents), Qt::Checked);
        QCOMPARE(Shown(Tree()->Model()->index(0, 0)), Qt::PartiallyChecked);
        // The click on a box does not select the folder.
        QCOMPARE(Tree()->SelectedNode(), CheckTree::kRootNode);
        QCOMPARE(Shown(List()->Model()->index(ListRow("Documents"), 0)), Qt::Checked);
        CheckViewsAgreeWithEntries();

        // A file of the folder unchecked in the list leaves the folder and Root grey.
        Tree()->setCurrentIndex(documents);
        ClickRowBox(ListRow("letter.txt"));
        QCOMPARE(Shown(documents), Qt::PartiallyChecked);
        QCOMPARE(Shown(List()->Model()->index(ListRow("letter.txt"), 0)), Qt::Unchecked);
        CheckViewsAgreeWithEntries();
        // The partly checked folder's box unchecks it whole.
        ClickTreeBox(documents);
        QCOMPARE(Shown(documents), Qt::Unchecked);
        QVERIFY(!App().State().checked.any);
        QVERIFY(!Frame()->MenuItemEnabled(ID_UNSELECT_ALL));
        CheckViewsAgreeWithEntries();

        Frame()->OnCommand(ID_SELECT_ALL);
        QCOMPARE(Shown(Tree()->Model()->index(0, 0)), Qt::Checked);
        QVERIFY(App().State().checked.all);
        QVERIFY(!Frame()->MenuItemEnabled(ID_SELECT_ALL));
        CheckViewsAgreeWithEntries();
        // Select All selects exactly the drive's total.
        Frame()->ShowTotals();
        QCOMPARE(Frame()->StatusPane(2)->text().mid(QString("Checked").size()),
                 Frame()->StatusPane(1)->text().mid(QString("Total").size()));
        SaveShot(Frame(), "browse-checked");
    }

    void headerClicksToggleTheSortAndAFolderRowOpensByDoubleClick() {
        Tree()->setCurrentIndex(TreeItem({"Documents"}));
        App().State().sort.clickAscending = false;
        QHeaderView* header = List()->DetailsView()->header();
        const auto names = [this] {
            QStringList texts;
            for (int row = 0; row < List()->Model()->rowCount(); ++row)
                texts << List()->Model()->index(row, 0).data().toString();
            return texts;
        };
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QVERIFY(App().State().sort.clickAscending);
        QStringList ascending = names();
        QVERIFY(ascending.indexOf("budget.xls") < ascending.indexOf("letter.txt"));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QVERIFY(names().indexOf("budget.xls") > names().indexOf("letter.txt"));
        QVERIFY(App().State().sort.ascending);  // the same column keeps the refill's direction
        // Another column continues the shared toggle: Size now sorts ascending again.
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(2) + 5, 5));
        QCOMPARE(App().State().sort.column, 2);
        QVERIFY(App().State().sort.ascending);
        const int letter = ListRow("letter.txt");
        const int budget = ListRow("budget.xls");
        QVERIFY(letter < budget);  // 2345 bytes before 48000
        App().State().sort.active = false;

        Tree()->SelectNode(Checks().LastNodeWithNumber(kRootFolderNumber).value());
        const int photos = ListRow("Photos");
        const QRect rect = List()->DetailsView()->visualRect(List()->Model()->index(photos, 1));
        QTest::mouseDClick(List()->DetailsView()->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(Tree()->currentIndex().data().toString(), QString("Photos"));
        QVERIFY(ListRow("Holiday 2019") >= 0);
    }

    void findShowsTheFolderOfAMatchAndFindNextStopsAtTheEnd() {
        QStringList notices;
        ModalScript script;
        // OK is pressed from the dialog's own loop; the failure box leaves the dialog open
        // for the second search.
        QPointer<QWidget> find;
        const auto search = [&find](const char* name) {
            QTimer::singleShot(0, [&find, name] {
                FindControl<QLineEdit>(find, IDC_FIND_TEXT)->setText(name);
                FindControl<QAbstractButton>(find, IDC_FIND_OK)->click();
            });
        };
        script
            .Then([&](QWidget* dialog) {
                find = dialog;
                QVERIFY(!FindControl<QAbstractButton>(dialog, IDC_FIND_OK)->isEnabled());
                search("nothing.at.all");
            })
            .Then([&](QWidget* box) {
                notices << box->windowTitle() + ": " + static_cast<QMessageBox*>(box)->text();
                static_cast<QMessageBox*>(box)->accept();
                QVERIFY(find && find->isVisible());
                search("LETTER.TXT");
            });
        Frame()->OnCommand(ID_FIND);
        QVERIFY(script.Done());
        QCOMPARE(notices, QStringList({"Search Failure: No Matching Entry Found"}));
        QCOMPARE(Tree()->currentIndex().data().toString(), QString("Documents"));
        QCOMPARE(List()->RowView()->currentIndex().data().toString(), QString("letter.txt"));
        QVERIFY(App().State().find.nextEnabled);

        ModalScript next;
        next.ThenNotice(&notices);
        Frame()->OnCommand(ID_FIND_NEXT);
        QVERIFY(next.Done());
        QCOMPARE(notices.last(), QString("Search Failure: No More Entries Are Available"));
        QVERIFY(!App().State().find.nextEnabled);
        QVERIFY(!Frame()->ToolbarButtonEnabled(ID_FIND_NEXT));
    }

    // Random clicks on tree boxes, list boxes and folders: the views always show the
    // entries' marks, and the recovery of the selection writes exactly the checked files.
    void anyClicksLeaveTheViewsAndTheRecoveryInAgreement() {
        std::mt19937 random(11);
        const CheckTree& checks = Checks();
        for (int click = 0; click < 120; ++click) {
            const auto node =
                static_cast<CheckTree::FolderNode>(random() % checks.FolderNodeCount());
            switch (random() % 3) {
                case 0:
                    Tree()->SelectNode(node);
                    break;
                case 1:
                    ClickTreeBox(Tree()->Model()->IndexOf(node));
                    break;
                default:
                    if (List()->Model()->rowCount() > 0)
                        ClickRowBox(static_cast<int>(random() % List()->Model()->rowCount()));
            }
            CheckViewsAgreeWithEntries();
            if (QTest::currentTestFailed()) return;
        }
        std::set<std::string> expected;
        for (std::size_t p = 0; p < checks.Placed().size(); ++p) {
            const CatalogueEntry& entry =
                Session().GetCatalogue().At(checks.Placed()[p].catalogueIndex);
            if (!entry.IsDirectory() && checks.MarkOf(p) == CheckMark::kChecked &&
                !checks.Placed()[p].unplaced && entry.size > 0)
                expected.insert(checks.PathOf(p));
        }
        const fs::path out =
            fs::temp_directory_path() / ("tarvik-browse-" + std::to_string(::getpid()));
        fs::remove_all(out);
        NullProgressSink quiet;
        QuietNotifier notifier;
        const RecoveryResult result =
            Session().Recover(out.string(), RecoveryMode::kSelected, quiet, notifier);
        std::set<std::string> written;
        if (fs::exists(out))
            for (const auto& item : fs::recursive_directory_iterator(out))
                if (item.is_regular_file()) written.insert(fs::relative(item.path(), out).string());
        fs::remove_all(out);
        QCOMPARE(result.filesWritten, expected.size());
        QVERIFY(written == expected);
    }
};

TARVIK_GUI_TEST_MAIN(BrowseTest)
#include "browse_test.moc"
