// The desktop program as a person meets it on any desktop: colours from the palette's
// roles under a light and a dark palette, windows that fit the screen, the keys of the
// tree, the list and the manual, the settings kept between runs, the list's natural
// sort with folders first, and the line that says how long the work has left.
#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <filesystem>

#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/command_ids.h"
#include "app/help_window.h"
#include "app/main_frame.h"
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

}  // namespace

class NativeTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }
    CMainFrame* Frame() { return App().CreateMainFrame(); }
    RecoverySession& Session() { return *App().Session; }
    CLeftView* Tree() { return Frame()->LeftView(); }
    CTarvikView* List() { return Frame()->ListView(); }
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
        QCOMPARE(App().AnySelected, 1);
        QTest::keyClick(rows, Qt::Key_Space);
        QCOMPARE(App().AnySelected, 0);

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
            List()->SortRows(CFileListModel::kName, direction);
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
        App().SortActive = 1;
        App().SortColumn = CFileListModel::kSize;
        App().SortDirection = 0;
        Frame()->Splitter()->setSizes({150, 600});
        const QByteArray splitter = Frame()->Splitter()->saveState();
        SaveViewSettings(*Frame(), App());
        RememberDestinationFolder("/tmp/recovered");
        RememberImageFolder("/tmp/images");

        App().SortActive = 0;
        App().SortDirection = 1;
        CMainFrame again(App());
        again.resize(Frame()->size());
        QCOMPARE(again.ListView()->ViewStyle(), ListViewStyle::List);
        QCOMPARE(again.ListView()->DetailsView()->header()->sectionSize(CFileListModel::kSize),
                 123);
        QCOMPARE(
            again.ListView()->DetailsView()->header()->sectionResizeMode(CFileListModel::kName),
            QHeaderView::Stretch);
        QCOMPARE(App().SortActive, 1);
        QCOMPARE(App().SortColumn, int(CFileListModel::kSize));
        QCOMPARE(App().SortDirection, 0);
        QCOMPARE(again.ListView()->DetailsView()->header()->sortIndicatorOrder(),
                 Qt::DescendingOrder);
        QCOMPARE(again.Splitter()->saveState(), splitter);
        QCOMPARE(LastDestinationFolder(), QString("/tmp/recovered"));
        QCOMPARE(LastImageFolder(), QString("/tmp/images"));

        // A settings file from a list of other columns is not applied to this one.
        QSettings().clear();
        App().SortActive = 0;
        CMainFrame fresh(App());
        QCOMPARE(fresh.ListView()->ViewStyle(), ListViewStyle::Details);
        QCOMPARE(App().SortActive, 0);
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
    }
};

TARVIK_GUI_TEST_MAIN(NativeTest)
#include "native_test.moc"
