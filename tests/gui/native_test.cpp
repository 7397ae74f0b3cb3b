// The desktop program as a person meets it on any desktop: colours from the palette's
// roles under a light and a dark palette, windows that fit the screen, the keys of the
// tree, the list and the manual, the settings kept between runs, the list's natural
// sort with folders first, and the line that says how long the work has left; what the
// list shows and leaves out (the modified time, the volume's own files), Recover This on
// the highlighted row, the file filter named in the status bar, and the saving's overall
// progress.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <filesystem>

#include "app/browse/browse_tools.h"
#include "app/browse/filter_bar.h"
#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/command_ids.h"
#include "app/help_window.h"
#include "app/main_frame.h"
#include "app/recover/overall_progress.h"
#include "app/recover/saving_files_dlg.h"
#include "app/time_left.h"
#include "app/view_settings.h"
#include "app/window_fit.h"
#include "gui_test_main.h"
#include "modal_script.h"
#include "sample_drive.h"

using namespace tarvik;
using namespace tarvik::testing;
namespace fs = std::filesystem;

namespace {

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(40, 40, 44));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(24, 24, 28));
    dark.setColor(QPalette::AlternateBase, QColor(36, 36, 40));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(48, 48, 52));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    return dark;
}

// The whole screen into TARVIK_SHOT_DIR when that is set (menus and dialogs included,
// under a real display).
void SaveScreen(const QString& name) {
    const QString folder = qEnvironmentVariable("TARVIK_SHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(folder).filePath(name + ".png"));
}

bool TakingShots() {
    return !qEnvironmentVariable("TARVIK_SHOT_DIR").isEmpty();
}

// Holds the saving up at each file it writes, so that a picture catches it half way.
class SlowSaving final : public NullProgressSink {
  public:
    void SetRange(std::uint64_t, std::uint64_t) override { QThread::msleep(700); }
};

}  // namespace

class NativeTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }
    CMainFrame* Frame() { return App().CreateMainFrame(); }
    RecoverySession& Session() { return *App().Session; }
    CLeftView* Tree() { return Frame()->LeftView(); }
    CTarvikView* List() { return Frame()->ListView(); }
    CBrowseTools* Tools() { return Frame()->findChild<CBrowseTools*>(); }
    int ListRow(const QString& name) { return static_cast<int>(Names().indexOf(name)); }
    QStringList Names() {
        QStringList names;
        for (int row = 0; row < List()->Model()->rowCount(); ++row)
            names << List()->Model()->index(row, 0).data().toString();
        return names;
    }

  private slots:
    void initTestCase() {
        if (!fs::exists(Fixture("sample-disk.img"))) QSKIP("sample-disk.img not made");
        QVERIFY(ScanFirstDrive(Session(), "sample-disk.img"));
        CLeftView::SetImportantNoteShown(false);
        // Pictures under a dark palette are asked for by TARVIK_SHOT_PALETTE=dark.
        if (qEnvironmentVariable("TARVIK_SHOT_PALETTE") == "dark")
            QApplication::setPalette(DarkPalette());
        Frame()->show();
        Frame()->ShowScannedDrive();
    }

    void everyViewTakesItsColoursFromThePalette() {
        const QPalette light = QApplication::palette();
        Tree()->SelectNode(CheckTree::kRootNode);
        Frame()->OnCommand(ID_ARRANGE_NAME);
        for (const QPalette& palette : {DarkPalette(), light}) {
            QApplication::setPalette(palette);
            QTest::qWait(50);
            QCOMPARE(List()->DetailsView()->palette().color(QPalette::Base),
                     palette.color(QPalette::Base));
            SaveShot(Frame(), palette == light ? "main-light" : "main-dark");
            CMainFrame frame(App());
            frame.show();
            QAbstractItemView* rows = frame.ListView()->DetailsView();
            QCOMPARE(rows->palette().color(QPalette::Base), palette.color(QPalette::Base));
            QCOMPARE(rows->palette().color(QPalette::Text), palette.color(QPalette::Text));
            QCOMPARE(frame.LeftView()->palette().color(QPalette::Base),
                     palette.color(QPalette::Base));
            QCOMPARE(frame.statusBar()->palette().color(QPalette::Window),
                     palette.color(QPalette::Window));
            // The check boxes are the style's own.
            QCOMPARE(rows->style(), QApplication::style());
            QCOMPARE(frame.LeftView()->style(), QApplication::style());
            // Nothing in the window paints a background of its own colour.
            for (QWidget* widget : frame.findChildren<QWidget*>())
                QVERIFY2(!widget->testAttribute(Qt::WA_SetPalette),
                         qPrintable(widget->objectName()));
        }
        QApplication::setPalette(light);
    }

    void windowsOpenNoLargerThanTheScreen() {
        const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
        const QSize fitted = FittedSize(nullptr, room * 2);
        QVERIFY(fitted.width() < room.width() && fitted.height() < room.height());
        QCOMPARE(FittedSize(nullptr, QSize(300, 200)), QSize(300, 200));
        CMainFrame frame(App());
        QVERIFY(frame.width() <= room.width() && frame.height() <= room.height());
    }

    void spaceTicksBackspaceGoesUpAndEscapeClosesTheManual() {
        Frame()->OnCommand(ID_UNSELECT_ALL);
        Tree()->setFocus();
        const QModelIndex documents = TreeItemAt(Tree(), {"Documents"});
        QVERIFY(documents.isValid());
        Tree()->setCurrentIndex(documents);
        QTest::keyClick(Tree(), Qt::Key_Space);
        QCOMPARE(documents.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(Tree()->currentIndex(), documents);
        QTest::keyClick(Tree(), Qt::Key_Space);
        QCOMPARE(documents.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

        // In the list: Space ticks the current row and only it.
        QAbstractItemView* rows = List()->RowView();
        QVERIFY(List()->Model()->rowCount() > 1);
        rows->setCurrentIndex(List()->Model()->index(1, 0));
        QTest::keyClick(rows, Qt::Key_Space);
        QCOMPARE(List()->Model()->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(List()->Model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(App().State().checked.any);
        QTest::keyClick(rows, Qt::Key_Space);
        QVERIFY(!App().State().checked.any);

        // Backspace in the list opens the folder above; at Root it does nothing.
        QTest::keyClick(rows, Qt::Key_Backspace);
        QCOMPARE(Tree()->currentIndex(), Tree()->Model()->index(0, 0));
        QTest::keyClick(Tree(), Qt::Key_Backspace);
        QCOMPARE(Tree()->currentIndex(), Tree()->Model()->index(0, 0));

        QWidget* manual = ShowManual(Frame());
        QVERIFY(QTest::qWaitForWindowExposed(manual));
        QPointer<QWidget> watched(manual);
        QTest::keyClick(manual, Qt::Key_Escape);
        QTRY_VERIFY(!watched || !watched->isVisible());
    }

    void namesSortNaturallyWithFoldersFirstAndTheHeaderShowsTheArrow() {
        QVERIFY(NaturalCompare(u"file2", u"File10") < 0);
        QVERIFY(NaturalCompare(u"File10", u"file2") > 0);
        QVERIFY(NaturalCompare(u"a01", u"A1") == 0);
        QVERIFY(NaturalCompare(u"abc", u"abcd") < 0);
        QVERIFY(NaturalCompare(u"x9y", u"x10a") < 0);

        Tree()->SelectNode(CheckTree::kRootNode);
        for (int direction : {1, 0}) {
            List()->SortRows(CFileListModel::kName, direction == 1);
            QHeaderView* header = List()->DetailsView()->header();
            QCOMPARE(header->sortIndicatorSection(), int(CFileListModel::kName));
            QCOMPARE(header->sortIndicatorOrder(),
                     direction == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
            bool filesBegun = false;
            for (int row = 0; row < List()->Model()->rowCount(); ++row) {
                const bool folder = List()->Model()->EntryOf(row).IsDirectory();
                QVERIFY2(!(folder && filesBegun), "a folder below a file");
                filesBegun = filesBegun || !folder;
            }
        }
    }

    void theViewIsAsItWasLeft() {
        QSettings().clear();
        CTarvikView* list = List();
        list->SetViewStyle(ListViewStyle::List);
        QHeaderView* header = list->DetailsView()->header();
        header->resizeSection(CFileListModel::kSize, 123);
        App().State().sort.active = true;
        App().State().sort.column = CFileListModel::kSize;
        App().State().sort.ascending = false;
        Frame()->Splitter()->setSizes({150, 600});
        const QByteArray splitter = Frame()->Splitter()->saveState();
        SaveViewSettings(*Frame(), App());
        RememberDestinationFolder("/tmp/recovered");
        RememberImageFolder("/tmp/images");

        App().State().sort.active = false;
        App().State().sort.ascending = true;
        CMainFrame again(App());
        again.resize(Frame()->size());
        QCOMPARE(again.ListView()->ViewStyle(), ListViewStyle::List);
        QCOMPARE(again.ListView()->DetailsView()->header()->sectionSize(CFileListModel::kSize),
                 123);
        QVERIFY(App().State().sort.active);
        QCOMPARE(App().State().sort.column, int(CFileListModel::kSize));
        QVERIFY(!App().State().sort.ascending);
        QCOMPARE(again.ListView()->DetailsView()->header()->sortIndicatorOrder(),
                 Qt::DescendingOrder);
        QCOMPARE(again.Splitter()->saveState(), splitter);
        // The name takes the room the other columns leave, and in a window too narrow for
        // every column it keeps room for a name and the list scrolls sideways.
        again.ListView()->SetViewStyle(ListViewStyle::Details);
        again.resize(1400, 700);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QHeaderView* columns = again.ListView()->DetailsView()->header();
        QTRY_COMPARE(columns->sectionResizeMode(CFileListModel::kName), QHeaderView::Stretch);
        again.resize(520, 400);
        QTRY_COMPARE(columns->sectionResizeMode(CFileListModel::kName), QHeaderView::Interactive);
        QVERIFY(columns->sectionSize(CFileListModel::kName) >= again.ListView()->NameRoom());
        again.resize(1400, 700);
        QTRY_COMPARE(columns->sectionResizeMode(CFileListModel::kName), QHeaderView::Stretch);
        QCOMPARE(LastDestinationFolder(), QString("/tmp/recovered"));
        QCOMPARE(LastImageFolder(), QString("/tmp/images"));

        // A settings file from a list of other columns is not applied to this one.
        QSettings().clear();
        App().State().sort.active = false;
        CMainFrame fresh(App());
        QCOMPARE(fresh.ListView()->ViewStyle(), ListViewStyle::Details);
        QVERIFY(!App().State().sort.active);
        QCOMPARE(fresh.ListView()->DetailsView()->header()->sortIndicatorSection(), -1);
        list->SetViewStyle(ListViewStyle::Details);
    }

    void theTimeLeftIsGuessedOnlyOnceThereIsSomethingToGoBy() {
        QCOMPARE(TimeLeftText(0, 0), QString("0% done, 0 s so far"));
        QCOMPARE(TimeLeftText(0.5, 30000), QString("50% done, 30 s so far, about 30 s left"));
        QCOMPARE(TimeLeftText(0.25, 90000),
                 QString("25% done, 1 min 30 s so far, about 4 min 30 s left"));
        QCOMPARE(TimeLeftText(0.005, 90000), QString("0% done, 1 min 30 s so far"));
        QCOMPARE(TimeLeftText(1.0, 5000), QString("100% done, 5 s so far"));
        QCOMPARE(TimeLeftText(std::nan(""), 5000), QString("0% done, 5 s so far"));

        // A phase that fills the bar anew is timed from its own start.
        QProgressBar bar;
        bar.setRange(0, 100);
        bar.setValue(0);
        QLabel line;
        CTimeLeft timeLeft(&bar, &line, nullptr);
        bar.setValue(60);
        QTRY_COMPARE_WITH_TIMEOUT(line.text().left(25), QString("60% done, 1 s so far, abo"), 3000);
        bar.setValue(10);
        QTRY_COMPARE(line.text(), QString("10% done, 0 s so far"));
        bar.setValue(50);
        bar.setRange(0, 200);
        QTRY_COMPARE(line.text(), QString("25% done, 0 s so far"));
    }

    // Beside the created date, the list shows the time the record says the file was last
    // modified, and sorts by it.
    void theListShowsWhenEachFileWasModified() {
        Tree()->SelectNode(Tree()->Model()->NodeOf(TreeItemAt(Tree(), {"Documents"})));
        CFileListModel* model = List()->Model();
        QCOMPARE(
            model->headerData(CFileListModel::kDate, Qt::Horizontal, Qt::DisplayRole).toString(),
            QString("Created"));
        QCOMPARE(model->headerData(CFileListModel::kModified, Qt::Horizontal, Qt::DisplayRole)
                     .toString(),
                 QString("Modified"));
        QVERIFY(model->rowCount() >= 4);
        for (int row = 0; row < model->rowCount(); ++row) {
            const CatalogueEntry entry = model->EntryOf(row);
            QVERIFY2(entry.modificationTime >= entry.creationTime && entry.creationTime != 0,
                     entry.Name().data());
            QCOMPARE(model->index(row, CFileListModel::kModified).data().toString(),
                     LocalTimeText(entry.modificationTime));
            QVERIFY(!model->index(row, CFileListModel::kModified).data().toString().isEmpty());
        }
        QTest::qWait(TakingShots() ? 300 : 0);
        SaveScreen("main-modified");
        List()->SortRows(CFileListModel::kModified, true);
        for (int row = 1; row < model->rowCount(); ++row)
            QVERIFY(model->EntryOf(row - 1).modificationTime <=
                    model->EntryOf(row).modificationTime);
    }

    // View > Hide System Files leaves $MFT, $Extend and the like out of the list and the
    // tree, with the deleted-only toggle of the filter bar still narrowing what is left;
    // it is kept.
    void systemFilesCanBeHiddenAndTheChoiceIsKept() {
        QAction* hide = Tools()->HideSystemAction();
        QVERIFY(hide && hide->isCheckable());
        hide->setChecked(false);
        Tree()->SelectNode(CheckTree::kRootNode);
        QVERIFY2(Names().contains("$MFT"), qPrintable(Names().join(", ")));
        QVERIFY(Names().contains("$Extend"));
        const int before = List()->Model()->rowCount();
        // The folder tree loses $Extend too; the list shown from it goes back to Root.
        Tree()->SelectNode(Tree()->Model()->NodeOf(TreeItemAt(Tree(), {"$Extend"})));
        QVERIFY(Tree()->SelectedNode() != CheckTree::kRootNode);
        hide->setChecked(true);
        QCOMPARE(QSettings().value("view/hideSystemFiles").toBool(), true);
        QVERIFY(!TreeItemAt(Tree(), {"$Extend"}).isValid());
        QVERIFY(TreeItemAt(Tree(), {"Documents"}).isValid());
        QCOMPARE(Tree()->SelectedNode(), CheckTree::kRootNode);
        for (const QString& name : Names()) QVERIFY2(!name.startsWith('$'), qPrintable(name));
        QVERIFY(Names().contains("readme.txt") && Names().contains("Documents"));
        QVERIFY(List()->Model()->rowCount() <= before - 8);
        // Another folder is shown without them too, and a filter narrows what is left.
        Tree()->SelectNode(Tree()->Model()->NodeOf(TreeItemAt(Tree(), {"Documents"})));
        Tree()->SelectNode(CheckTree::kRootNode);
        QVERIFY(!Names().contains("$MFT"));
        Tools()->FilterBar()->Open();
        Tools()->FilterBar()->DeletedBox()->setChecked(true);
        Tools()->ApplyFilter();
        for (int row = 0; row < List()->Model()->rowCount(); ++row)
            QVERIFY(List()->Model()->EntryOf(row).IsDeleted());
        QVERIFY(List()->Model()->rowCount() > 0);
        Tools()->FilterBar()->Close();
        hide->setChecked(false);
        QVERIFY(Names().contains("$MFT"));
        QVERIFY(TreeItemAt(Tree(), {"$Extend"}).isValid());
        QVERIFY(TreeItemAt(Tree(), {"Photos"}).isValid());
        // The next window starts as this one was left.
        hide->setChecked(true);
        {
            CMainFrame again(App());
            QVERIFY(again.findChild<CBrowseTools*>()->HidesSystemFiles());
        }
        hide->setChecked(false);
        QCOMPARE(QSettings().value("view/hideSystemFiles").toBool(), false);
    }

    // The context menu offers Recover This for the highlighted row, which writes that row
    // alone (a folder with everything below it) and leaves the ticks as they were.
    void recoverThisWritesTheHighlightedRowAlone() {
        Frame()->OnCommand(ID_UNSELECT_ALL);
        Tree()->SelectNode(CheckTree::kRootNode);
        const int documents = ListRow("Documents");
        QVERIFY(documents >= 0);
        List()->RowView()->setCurrentIndex(List()->Model()->index(documents, 0));
        QStringList offered;
        bool enabled = false;
        QTimer::singleShot(TakingShots() ? 500 : 50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            SaveScreen("context-menu");
            for (QAction* action : menu->actions()) {
                offered << action->text();
                if (action->objectName() == "recoverThis") enabled = action->isEnabled();
            }
            menu->close();
        });
        const QRect row = List()->RowView()->visualRect(List()->Model()->index(documents, 0));
        List()->ShowContextMenu(List()->RowView()->viewport()->mapToGlobal(row.center()));
        QCOMPARE(offered.value(0), QString("Recover &This"));
        QVERIFY(enabled);

        QTemporaryDir out;
        Frame()->SetFolderChooser([&out] { return out.path(); });
        Frame()->SetShowSavingSummary(false);
        ModalScript script;
        SlowSaving slow;
        if (TakingShots())
            script.OnShow("145", [&slow](QDialog* dialog) {
                static_cast<CSavingFilesDlg*>(dialog)->SetProgressObserver(&slow);
                QTimer::singleShot(1800, dialog, [dialog] {
                    SaveScreen("saving-overall");
                    SaveShot(dialog, "saving-dialog");
                });
            });
        Frame()->RecoverEntry(List()->Model()->PositionOf(documents));
        Frame()->SetShowSavingSummary(true);
        QVERIFY(Frame()->LastRecovery().has_value());
        QCOMPARE(Frame()->LastRecovery()->filesWritten, std::uint64_t{4});
        QStringList written;
        for (const auto& item : fs::recursive_directory_iterator(out.path().toStdString()))
            if (item.is_regular_file()) written << QString::fromStdString(item.path().string());
        QCOMPARE(written.size(), 4);
        for (const QString& path : written)
            QVERIFY2(path.contains("/Root/Documents/"), qPrintable(path));
        QVERIFY(!App().State().checked.any);
        QCOMPARE(Session().Checks().RootMark(), CheckMark::kUnchecked);
    }

    // A file filter set with Add File Filter stays in sight in the status bar until it is
    // removed.
    void theFileFilterIsShownWhileItIsSet() {
        auto* pane = Frame()->findChild<QLabel*>("filterPane");
        QVERIFY(pane);
        QVERIFY(pane->isHidden());
        auto filter = std::make_unique<FileFilter>();
        QVERIFY(filter->AddPattern("*.jpg"));
        Session().SetFileFilter(std::move(filter));
        App().State().filterActive = true;
        Frame()->ShowFileFilter();
        QVERIFY(!pane->isHidden());
        QCOMPARE(pane->text(), QString("File filter: Only *.jpg"));
        Frame()->OnCommand(ID_REMOVE_FILE_FILTER);
        QVERIFY(pane->isHidden());
    }

    // The saving dialog's overall line: files and bytes of the total, the rate and the time
    // left once there is something to go by; its bar goes by bytes, or by files when
    // there are none.
    void theSavingShowsItsOverallProgress() {
        QLocale::setDefault(QLocale::c());
        TallyFigures figures;
        QCOMPARE(OverallProgressText(figures, 5000), QString("Counting the files to write..."));
        QCOMPARE(OverallPermille(figures), 0);
        figures = {true, 3, 40, 1024 * 1024, 4 * 1024 * 1024};
        QCOMPARE(OverallProgressText(figures, 500), QString("3 of 40 files, 1.0 MB of 4.0 MB"));
        QCOMPARE(OverallProgressText(figures, 2000),
                 QString("3 of 40 files, 1.0 MB of 4.0 MB, 512.0 KB/s, about 6 s left"));
        QCOMPARE(OverallPermille(figures), 250);
        figures = {true, 40, 40, 4 * 1024 * 1024, 4 * 1024 * 1024};
        QCOMPARE(OverallProgressText(figures, 4000),
                 QString("40 of 40 files, 4.0 MB of 4.0 MB, 1.0 MB/s"));
        QCOMPARE(OverallPermille(figures), 1000);
        figures = {true, 1, 4, 0, 0};
        QCOMPARE(OverallPermille(figures), 250);
        figures = {true, 9, 4, 9, 4};  // never past the whole
        QCOMPARE(OverallPermille(figures), 1000);
        QLocale::setDefault(QLocale::system());
    }
};

TARVIK_GUI_TEST_MAIN(NativeTest)
#include "native_test.moc"
