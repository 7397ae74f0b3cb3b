// The shell's windows: start texts, status panes, toolbar and menu layout, the splash
// screen, the About box's links and the small dialogs.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStatusTipEvent>
#include <QToolBar>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/command_table.h"
#include "app/control_id.h"
#include "app/main_frame.h"
#include "app/resource_ids.h"
#include "app/shell_dialogs.h"
#include "app/splash_dlg.h"
#include "app/status_totals.h"
#include "gui_test_main.h"
#include "partition/drive_list.h"

using namespace tarvik;

class ShellTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }

  private slots:
    void mainFrameStartsWithTitleAndStatusTexts() {
        CMainFrame* frame = App().CreateMainFrame();
        frame->setWindowTitle(kMainTitle);
        frame->show();
        QCOMPARE(frame->windowTitle(), QString("Corvane Miravel NTFS"));
        QCOMPARE(frame->StatusPane(0)->text(), QString("Ready"));
        QCOMPARE(frame->StatusPane(1)->text(), QString("Total 0 Bytes in 0 Files in 0 Folders"));
        QCOMPARE(frame->StatusPane(2)->text(), QString("Checked 0 Bytes in 0 Files in 0 Folders"));
        QCOMPARE(frame->StatusPane(0)->width(), 195);
        QCOMPARE(frame->StatusPane(1)->parentWidget()->width(), 275);
        QVERIFY(!FindControl<QLabel>(frame, IDI_STATUS)->pixmap().isNull());
        SaveShot(frame, "main_frame");
    }

    void promptsShowInTheFirstPaneAndReadyReturns() {
        CMainFrame* frame = App().CreateMainFrame();
        QStatusTipEvent tip(frame->MenuAction(ID_ADVANCE_SEARCH)->statusTip());
        QApplication::sendEvent(frame, &tip);
        QCOMPARE(frame->StatusPane(0)->text(), QString("Search Logical Drive Thoroughly"));
        QStatusTipEvent none{QString()};
        QApplication::sendEvent(frame, &none);
        QCOMPARE(frame->StatusPane(0)->text(), QString("Ready"));
    }

    void toolbarHasNineButtonsInOrderWithTheirImages() {
        CMainFrame* frame = App().CreateMainFrame();
        QStringList order;
        for (QAction* action : frame->ToolBar()->actions())
            order << (action->isSeparator() ? "-" : action->objectName());
        QCOMPARE(order.join(' '),
                 QString("32771 32786 - 32773 - 32776 32777 - 32783 32784 32772 - 57667"));
        QCOMPARE(frame->ToolBar()->iconSize(), QSize(30, 30));
        for (QAction* action : frame->ToolBar()->actions()) {
            if (action->isSeparator()) continue;
            for (QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Disabled})
                QVERIFY(!action->icon().pixmap(30, 30, mode).isNull());
        }
        QCOMPARE(frame->ToolbarAction(ID_RECOVER_SELECTED)->toolTip(),
                 QString("Recover Selected Files"));
        QCOMPARE(frame->ToolbarAction(ID_OPEN_DRIVE)->statusTip(), QString("Open Drive"));
    }

    void menusCarryTheirTextsInOrder() {
        CMainFrame* frame = App().CreateMainFrame();
        QStringList titles;
        for (QAction* action : frame->menuBar()->actions()) titles << action->text();
        QCOMPARE(titles, QStringList({"&Drive", "&File", "&Tools", "&View", "&Help"}));
        QCOMPARE(frame->MenuAction(ID_UNSELECT_ALL)->text(), QString("&Unselect All"));
        QCOMPARE(frame->MenuAction(ID_SELECT_PHYSICAL_DISK)->text(),
                 QString("S&elect Physical Disk\tCtrl+O"));
        QMenu* tools = frame->menuBar()->actions()[2]->menu();
        QStringList items;
        for (QAction* action : tools->actions())
            items << (action->isSeparator() ? "-" : action->objectName());
        QCOMPARE(items.join(' '), QString("32776 32777 - 32774 32775 - 32782 - 32787 32794"));
        QCOMPARE(frame->MenuAction(ID_ARRANGE_FILEID)->text(), QString("By &File Id"));
        // Every item can be reached from the keyboard: each carries a mnemonic.
        QList<QMenu*> menus;
        for (QAction* action : frame->menuBar()->actions()) menus << action->menu();
        for (int i = 0; i < menus.size(); ++i)
            for (QAction* action : menus[i]->actions()) {
                if (action->isSeparator()) continue;
                QVERIFY2(action->text().contains('&'), qPrintable(action->text()));
                if (action->menu()) menus << action->menu();
            }
        QCOMPARE(frame->MenuAction(ID_SELECT_ALL)->statusTip(), QString("Select All Items"));
    }

    void totalsTextsShowTwoDecimalsOf64BitCounts() {
        QCOMPARE(TotalsText("Total", 1536, 2, 3),
                 std::string("Total 1.50 KB in 2 Files in 3 Folders"));
        QCOMPARE(TotalsText("Total", 1023, 0, 0),
                 std::string("Total 0.99 KB in 0 Files in 0 Folders"));
        QCOMPARE(TotalsText("Total", 1024, 1, 1),
                 std::string("Total 1.00 KB in 1 Files in 1 Folders"));
        QCOMPARE(TotalsText("Selected", 1048576, 1, 0),
                 std::string("Selected 1.00 MB in 1 Files in 0 Folders"));
        QCOMPARE(TotalsText("Selected", 1572864, 1, 0),
                 std::string("Selected 1.50 MB in 1 Files in 0 Folders"));
        // 4.5 GiB in more files than 32 bits count: nothing wraps.
        QCOMPARE(TotalsText("Total", 0x120000000ull, 0x100000001ull, 8),
                 std::string("Total 4.50 GB in 4294967297 Files in 8 Folders"));

        CMainFrame* frame = App().CreateMainFrame();
        App().State().checked.bytes = 1536;
        App().State().checked.files = 4;
        App().State().checked.folders = 1;
        frame->ShowSelectedTotals();
        QCOMPARE(frame->StatusPane(2)->text(), QString("Checked 1.50 KB in 4 Files in 1 Folders"));
        App().State().checked = CheckedState{};
    }

    void searchTypeRecordsEachWayOfLeaving() {
        struct Case {
            const char* name;
            int clicked;  // radio button clicked first, 0 for none
            int leave;    // button id, or 0 for Escape
            DriveSearch expected;
        };
        const Case cases[] = {
            {"ok keeps the partition table", 0, IDC_SEARCH_TYPE_OK, DriveSearch::kPartitionTable},
            {"search then ok", IDC_SEARCH_LOGICAL_DRIVES, IDC_SEARCH_TYPE_OK,
             DriveSearch::kWholeDisk},
            {"search then back to the table", IDC_USE_PARTITION_TABLE, IDC_SEARCH_TYPE_OK,
             DriveSearch::kPartitionTable},
            {"cancel", 0, IDC_SEARCH_TYPE_CANCEL, DriveSearch::kCancelled},
            {"search then cancel", IDC_SEARCH_LOGICAL_DRIVES, IDC_SEARCH_TYPE_CANCEL,
             DriveSearch::kCancelled},
            {"escape keeps the default", 0, 0, DriveSearch::kPartitionTable},
            {"escape keeps the search", IDC_SEARCH_LOGICAL_DRIVES, 0, DriveSearch::kWholeDisk},
        };
        for (const Case& c : cases) {
            DriveSearch searchType = DriveSearch::kCancelled;
            CSearchTypeDlg dialog(searchType);
            QVERIFY(searchType == DriveSearch::kPartitionTable);
            dialog.show();
            QVERIFY(FindControl<QRadioButton>(&dialog, IDC_USE_PARTITION_TABLE)->isChecked());
            if (c.clicked)
                QTest::mouseClick(FindControl<QRadioButton>(&dialog, c.clicked), Qt::LeftButton);
            if (c.leave)
                QTest::mouseClick(FindControl<QAbstractButton>(&dialog, c.leave), Qt::LeftButton);
            else
                QTest::keyClick(&dialog, Qt::Key_Escape);
            QVERIFY2(!dialog.isVisible(), c.name);
            QVERIFY2(searchType == c.expected, c.name);
        }
    }

    void aboutLinksTurnPurpleOnlyWhenTheMailClientOpens() {
        QStringList opened;
        bool mailWorks = true;
        QString reported;
        CAboutDlg::SetUrlOpener([&](const QUrl& url) {
            opened << url.toString();
            return mailWorks;
        });
        CAboutDlg::SetFailureReporter(
            [&](const QString& text, const QString& caption) { reported = caption + ": " + text; });
        const QPalette palette = QApplication::palette();
        {
            CAboutDlg about;
            about.show();
            SaveShot(&about, "about");
            auto* sales = FindControl<CMailLink>(&about, IDC_ABOUT_SALES_MAIL);
            auto* support = FindControl<CMailLink>(&about, IDC_ABOUT_SUPPORT_MAIL);
            QCOMPARE(sales->LinkColour(), palette.color(QPalette::Link));
            QCOMPARE(sales->cursor().shape(), Qt::PointingHandCursor);
            QVERIFY(sales->font().underline());
            QTest::mouseClick(sales, Qt::LeftButton);
            QCOMPARE(opened.last(), QString("mailto:") + CAboutDlg::kSalesMail);
            QCOMPARE(sales->LinkColour(), palette.color(QPalette::LinkVisited));
            QCOMPARE(support->LinkColour(), palette.color(QPalette::Link));
            mailWorks = false;
            QTest::mouseClick(support, Qt::LeftButton);
            QCOMPARE(reported, QString("Corvane Miravel NTFS: Unable To Open Mail Client."));
            QCOMPARE(support->LinkColour(), palette.color(QPalette::Link));
            QTest::mouseClick(FindControl<QAbstractButton>(&about, IDC_ABOUT_VISIT),
                              Qt::LeftButton);
            QCOMPARE(opened.last(), QString(CAboutDlg::kWebAddress));
        }
        CAboutDlg again;
        QCOMPARE(FindControl<CMailLink>(&again, IDC_ABOUT_SALES_MAIL)->LinkColour(),
                 palette.color(QPalette::Link));
        CAboutDlg::SetUrlOpener([](const QUrl&) { return false; });
    }

    void drivePropertiesShowTheValuesUnderTheirLabels() {
        DriveProperties values;
        values.driveCode = 0x8a;
        values.sectorsPerCluster = 8;
        values.partitionStart = 2048;
        values.totalFiles = 12;
        values.deletedDirectories = 3;
        CDrivePropertiesDlg dialog(values);
        dialog.show();
        SaveShot(&dialog, "drive_properties");
        QCOMPARE(dialog.windowTitle(), QString("Logical Drive Properties"));
        QCOMPARE(FindControl<QLabel>(&dialog, 1057)->text(), QString("Hard Disk"));
        QCOMPARE(FindControl<QLabel>(&dialog, 1066)->text(), QString("Disk 11"));
        QCOMPARE(FindControl<QLabel>(&dialog, 1058)->text(), QString("Sectors Per Cluster"));
        QCOMPARE(FindControl<QLabel>(&dialog, 1068)->text(), QString("2048"));
        QCOMPARE(FindControl<QLabel>(&dialog, 1071)->text(), QString("12"));
        QCOMPARE(FindControl<QLabel>(&dialog, 1065)->text(),
                 QString("Number Of Deleted Directories"));
        QCOMPARE(FindControl<QLabel>(&dialog, 1074)->text(), QString("3"));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
    }

    void splashClosesItselfAfterItsTime() {
        CSplashDlg splash(150);
        QElapsedTimer clock;
        clock.start();
        splash.show();
        SaveShot(&splash, "splash");
        QVERIFY(!FindControl<QLabel>(&splash, IDC_SPLASH_PICTURE)->pixmap().isNull());
        QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 3000);
        QVERIFY(clock.elapsed() >= 150);
    }

    void lateCloseRequestReachesNoWindow() {
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            {
                CSplashDlg splash(200);
                splash.show();
                QTest::keyClick(&splash, key);
                QVERIFY(!splash.isVisible());
            }
            QDialog other;
            other.show();
            QTest::qWait(400);
            QVERIFY(other.isVisible());
        }
    }

    void closingFreesTheDriveList() {
        ProcessDriveList().Append(LogicalDriveEntry{63, 1000, 7});
        CMainFrame frame(App());
        frame.show();
        frame.close();
        QVERIFY(ProcessDriveList().Empty());
        QVERIFY(!ProcessDriveList().HasPrevious());
        QVERIFY(!App().Session->HasDrive());
    }

    void importantNoteCarriesItsAdvice() {
        CImportantNoteDlg note;
        note.show();
        SaveShot(&note, "important_note");
        QCOMPARE(note.findChildren<QLabel*>().first()->text(), QString(CImportantNoteDlg::kText));
        QCOMPARE(FindControl<QAbstractButton>(&note, IDOK)->text(), QString("OK"));
        QVERIFY(!note.DontShowAgain());
    }
};

TARVIK_GUI_TEST_MAIN(ShellTest)
#include "shell_test.moc"
