// From Select Physical Disk to a scanned drive on the fixture images: the partition
// table, a wiped table falling to the search, the search asked for, a FAT drive and a
// drive that fails validation, Cancel bringing back the list before, Abort keeping
// what the search found, the program closing under a running search, and Open Disk
// Image.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/browse/left_view.h"
#include "app/command_ids.h"
#include "app/control_id.h"
#include "app/disks/drive_chooser.h"
#include "app/disks/search_drives_dlg.h"
#include "app/disks/select_dialogs.h"
#include "app/main_frame.h"
#include "app/resource_ids.h"
#include "app/scan/scanning_dlg.h"
#include "app/status_totals.h"
#include "gui_test_main.h"
#include "modal_script.h"
#include "session/recovery_session.h"

using namespace tarvik;
namespace fs = std::filesystem;

namespace {

const QString kFatNotice = "Invalid Drive: Use Corvane Miravel FAT to Recover FAT Drive";

std::string Fixture(const char* name) {
    return (fs::path(TARVIK_FIXTURE_DIR) / name).string();
}

void Click(QWidget* dialog, int id) {
    auto* button = FindControl<QAbstractButton>(dialog, id);
    QVERIFY2(button, qPrintable(QString("no button %1 in %2").arg(id).arg(dialog->objectName())));
    button->click();
}

QTreeWidget* ListOf(QWidget* dialog, int id) {
    return FindControl<QTreeWidget>(dialog, id);
}

void ChooseRow(QWidget* dialog, int listId, int row, int okId) {
    QTreeWidget* list = ListOf(dialog, listId);
    list->setCurrentItem(list->topLevelItem(row));
    Click(dialog, okId);
}

// The first two steps of every road: disk `row` of the disk list, then the partition
// table or the search.
ModalScript& PickDisk(ModalScript& script, int row, bool search) {
    return script.Then([row](QWidget* disks) { ChooseRow(disks, IDC_DISK_LIST, row, IDC_DISK_OK); })
        .Then([search](QWidget* type) {
            if (search) FindControl<QRadioButton>(type, IDC_SEARCH_LOGICAL_DRIVES)->click();
            Click(type, IDC_SEARCH_TYPE_OK);
        });
}

QStringList RowTexts(QTreeWidget* list, int row) {
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c) texts << list->topLevelItem(row)->text(c);
    return texts;
}

// A copy of a fixture image in the temporary folder, changed by the test.
class ImageCopy {
  public:
    ImageCopy(const std::string& source, const char* name)
        : path_((fs::temp_directory_path() / (std::to_string(::getpid()) + name)).string()) {
        fs::copy_file(source, path_, fs::copy_options::overwrite_existing);
    }
    ~ImageCopy() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    const std::string& path() const { return path_; }
    void Zero(std::uint64_t sector) {
        const std::vector<char> zeros(512, 0);
        std::fstream file(path_, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(sector * 512));
        file.write(zeros.data(), 512);
    }
    void Grow(std::uint64_t bytes) { fs::resize_file(path_, bytes); }

  private:
    std::string path_;
};

}  // namespace

class DriveChoiceTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }
    CMainFrame* Frame() { return App().CreateMainFrame(); }
    RecoverySession& Session() { return *App().Session; }

    void UseDisks(const std::vector<std::string>& paths) {
        for (const auto& path : paths)
            if (!fs::exists(path)) QSKIP(qPrintable(QString::fromStdString(path) + " not made"));
        QCOMPARE(Session().LoadDisks(paths, false), std::nullopt);
    }

    // Runs a command while the script plays the dialogs, and checks every step ran.
    void Run(ModalScript& script, int command) {
        Frame()->OnCommand(command);
        QVERIFY2(script.Done(), qPrintable("steps left: " + QString::number(script.Left()) +
                                           " after " + script.seen.join(',')));
    }

  private slots:
    void init() {
        // The advice after a normal scan is the browsing tests' to look at.
        CLeftView::SetImportantNoteShown(false);
        ::unsetenv("TARVIK_DISKS");
        // The views let go of the drive before it goes, as the program's commands do.
        Frame()->ClearViews();
        Session().CloseDrive();
        App().State().panes.listFilled = false;
        App().State().advanceSearchDone = false;
        Frame()->show();
    }

    void partitionTableRouteScansTheChosenDriveAndShowsItsTotals() {
        UseDisks({Fixture("mbr-mixed.img"), Fixture("sample-disk.img")});
        QStringList counters;
        QString title;
        ModalScript script;
        script
            .Then([](QWidget* disks) {
                QCOMPARE(disks->windowTitle(), QString("Select Physical Disk"));
                QTreeWidget* list = ListOf(disks, IDC_DISK_LIST);
                QCOMPARE(list->topLevelItemCount(), 2);
                QCOMPARE(RowTexts(list, 1).mid(0, 3),
                         QStringList({"HardDisk 2", "DISK IMAGE", "sample-disk.img"}));
                QVERIFY(RowTexts(list, 1)[4].endsWith("sample-disk.img"));
                QVERIFY(!RowTexts(list, 1)[3].isEmpty());
                QCOMPARE(list->headerItem()->text(1), QString("Model No. "));
                QCOMPARE(list->columnWidth(0), 120);
                QCOMPARE(list->columnWidth(2), 100);
                QVERIFY(list->topLevelItem(0)->textAlignment(2) & Qt::AlignRight);
                QVERIFY(!list->topLevelItem(0)->icon(0).isNull());
                ChooseRow(disks, IDC_DISK_LIST, 0, IDC_DISK_OK);
            })
            .Then([](QWidget* type) { Click(type, IDC_SEARCH_TYPE_OK); })
            .Then([](QWidget* drives) {
                QCOMPARE(drives->windowTitle(), QString("Select Logical Drive"));
                QTreeWidget* list = ListOf(drives, IDC_DRIVE_LIST);
                QCOMPARE(list->topLevelItemCount(), 6);
                QCOMPARE(RowTexts(list, 0),
                         QStringList({"Logical Drive 1", "NTFS", "2048", "8MB"}));
                QCOMPARE(list->columnWidth(1), 75);
                QVERIFY(list->topLevelItem(0)->textAlignment(3) & Qt::AlignHCenter);
                ChooseRow(drives, IDC_DRIVE_LIST, 0, IDC_DRIVE_OK);
            });
        script.OnShow("146", [&](QDialog* scanning) {
            title = scanning->windowTitle();
            for (int id = 1021; id <= 1026; ++id)
                QCOMPARE(FindControl<QLabel>(scanning, id)->text(), QString("0"));
            QObject::connect(scanning, &QDialog::finished, [&, scanning] {
                for (int id = 1021; id <= 1026; ++id)
                    counters << FindControl<QLabel>(scanning, id)->text();
                counters << FindControl<QLabel>(scanning, IDC_SCAN_PHASE)->text();
            });
        });
        Run(script, ID_SELECT_PHYSICAL_DISK);
        QCOMPARE(script.seen, QStringList({"171", "155", "173", "146"}));
        QCOMPARE(title, QString("Scanning NTFS Drive"));
        QVERIFY(Session().HasDrive());
        QVERIFY(App().State().panes.listFilled);

        const DriveProperties drive = Session().Properties();
        QCOMPARE(drive.partitionStart, std::uint64_t{2048});
        QVERIFY(drive.totalFiles > 0);
        // The dialog's last counts are the drive's: normal + deleted + lost.
        QCOMPARE(counters.size(), 7);
        QCOMPARE(counters[0].toULongLong() + counters[2].toULongLong() + counters[5].toULongLong(),
                 drive.totalFiles);
        QCOMPARE(counters[6], QString("Phase 4 of 4: Housekeeping"));
        QCOMPARE(Frame()->StatusPane(1)->text(),
                 QString::fromStdString(TotalsText("Total", drive.totalBytes, drive.totalFiles,
                                                   drive.totalDirectories)));
        QVERIFY(Frame()->MenuItemEnabled(ID_DRIVE_PARAMETERS));
        QVERIFY(Frame()->ToolbarButtonEnabled(ID_OPEN_DRIVE));

        ModalScript advance;
        advance.OnShow("146", [&](QDialog* scanning) { title = scanning->windowTitle(); });
        Run(advance, ID_ADVANCE_SEARCH);
        QCOMPARE(title, QString("Advance Search"));
        QVERIFY(App().State().advanceSearchDone);
        QVERIFY(!Frame()->MenuItemEnabled(ID_ADVANCE_SEARCH));
    }

    void aWipedTableIsAnnouncedAndTheSearchFindsTheNtfsDrives() {
        if (!fs::exists(Fixture("mbr-mixed.img"))) QSKIP("mbr-mixed.img not made");
        ImageCopy wiped(Fixture("mbr-mixed.img"), "-wiped.img");
        wiped.Zero(0);
        UseDisks({wiped.path()});
        QStringList notices;
        QStringList starts;
        ModalScript script;
        PickDisk(script, 0, false)
            .ThenNotice(&notices)
            .OnShow("158",
                    [](QDialog* search) {
                        QCOMPARE(search->windowTitle(), QString("Searching NTFS Logical Drives"));
                    })
            .Then([&](QWidget* drives) {
                QTreeWidget* list = ListOf(drives, IDC_DRIVE_LIST);
                for (int row = 0; row < list->topLevelItemCount(); ++row)
                    starts << list->topLevelItem(row)->text(2);
                Click(drives, IDC_DRIVE_CANCEL);
            });
        Run(script, ID_SELECT_PHYSICAL_DISK);
        QCOMPARE(notices,
                 QStringList({"Corrupted Partition Table: Bad Partition Table, Searching Logical "
                              "Drive"}));
        QCOMPARE(starts, QStringList({"2048", "28672", "63488", "83968"}));
        QVERIFY(!Session().HasDrive());
    }

    void theSearchAskedForCountsUpAndLeadsToAScan() {
        UseDisks({Fixture("mbr-mixed.img"), Fixture("sample-disk.img")});
        QString found, total;
        ModalScript script;
        PickDisk(script, 1, true)
            .Then([](QWidget* drives) {
                QCOMPARE(ListOf(drives, IDC_DRIVE_LIST)->topLevelItemCount(), 1);
                ChooseRow(drives, IDC_DRIVE_LIST, 0, IDC_DRIVE_OK);
            })
            .OnShow("158", [&](QDialog* search) {
                QObject::connect(search, &QDialog::finished, [&, search] {
                    found = FindControl<QLabel>(search, IDC_SEARCH_FOUND)->text();
                    total = FindControl<QLabel>(search, IDC_SEARCH_TOTAL)->text();
                });
            });
        Run(script, ID_SELECT_PHYSICAL_DISK);
        QCOMPARE(script.seen, QStringList({"171", "155", "158", "173", "146"}));
        QCOMPARE(found, QString("1"));
        QCOMPARE(total.toULongLong(), fs::file_size(Fixture("sample-disk.img")) / 512);
        QVERIFY(Session().HasDrive());
        QCOMPARE(Session().Properties().driveCode, std::uint8_t{0x81});
        QVERIFY(Frame()->StatusPane(1)->text().startsWith("Total "));
    }

    void aFatDriveAndADriveThatFailsValidationAreRefused() {
        if (!fs::exists(Fixture("mbr-mixed.img"))) QSKIP("mbr-mixed.img not made");
        ImageCopy broken(Fixture("mbr-mixed.img"), "-broken.img");
        broken.Zero(2048);   // the first NTFS drive's boot sector
        broken.Zero(18431);  // and its backup at the end
        UseDisks({broken.path()});
        QStringList notices;
        ModalScript script;
        PickDisk(script, 0, false)
            .Then([](QWidget* drives) { ChooseRow(drives, IDC_DRIVE_LIST, 1, IDC_DRIVE_OK); })
            .ThenNotice(&notices);
        Run(script, ID_SELECT_PHYSICAL_DISK);
        QCOMPARE(notices, QStringList({kFatNotice}));
        QVERIFY(!Session().HasDrive());

        ModalScript again;
        again.Then([](QWidget* drives) { ChooseRow(drives, IDC_DRIVE_LIST, 0, IDC_DRIVE_OK); })
            .ThenNotice(&notices);
        Run(again, ID_OPEN_DRIVE);
        QCOMPARE(again.seen, QStringList({"173", "box"}));
        QCOMPARE(notices.size(), 2);
        QVERIFY(!Session().HasDrive());
        QVERIFY(!App().State().panes.listFilled);
    }

    void cancelOnAnotherDiskBringsBackTheListOpenDriveShows() {
        UseDisks({Fixture("mbr-mixed.img"), Fixture("sample-disk.img")});
        QStringList notices;
        ModalScript empty;
        empty.ThenNotice(&notices);
        Run(empty, ID_OPEN_DRIVE);
        QCOMPARE(notices, QStringList({"Corvane Miravel NTFS: Logical Drive List Not Found"}));

        ModalScript first;
        PickDisk(first, 0, false).Then([](QWidget* drives) {
            ChooseRow(drives, IDC_DRIVE_LIST, 4, IDC_DRIVE_OK);
        });
        Run(first, ID_SELECT_PHYSICAL_DISK);
        QCOMPARE(Session().Properties().partitionStart, std::uint64_t{63488});

        int rows = 0;
        ModalScript second;
        PickDisk(second, 1, false).Then([&](QWidget* drives) {
            rows = ListOf(drives, IDC_DRIVE_LIST)->topLevelItemCount();
            Click(drives, IDC_DRIVE_CANCEL);
        });
        Run(second, ID_SELECT_PHYSICAL_DISK);
        QCOMPARE(rows, 1);

        ModalScript reopen;
        reopen.Then([&](QWidget* drives) {
            rows = ListOf(drives, IDC_DRIVE_LIST)->topLevelItemCount();
            ChooseRow(drives, IDC_DRIVE_LIST, 5, IDC_DRIVE_OK);
        });
        Run(reopen, ID_OPEN_DRIVE);
        QCOMPARE(rows, 6);
        QCOMPARE(Session().Properties().driveCode, std::uint8_t{0x80});
        QCOMPARE(Session().Properties().partitionStart, std::uint64_t{83968});
    }

    void abortKeepsWhatTheSearchHadFound() {
        if (!fs::exists(Fixture("mbr-mixed.img"))) QSKIP("mbr-mixed.img not made");
        // The drives lie at the front of a large, mostly empty disk.
        ImageCopy large(Fixture("mbr-mixed.img"), "-large.img");
        large.Grow(std::uint64_t{3} << 30);
        UseDisks({large.path()});
        QString examined, total;
        int rows = 0;
        ModalScript script;
        PickDisk(script, 0, true)
            .OnShow("158",
                    [&](QDialog* search) {
                        auto* poll = new QTimer(search);
                        QObject::connect(poll, &QTimer::timeout, search, [search] {
                            if (FindControl<QLabel>(search, IDC_SEARCH_FOUND)->text() != "0")
                                Click(search, IDC_SEARCH_ABORT);
                        });
                        poll->start(5);
                        QObject::connect(search, &QDialog::finished, [&, search] {
                            examined = FindControl<QLabel>(search, IDC_SEARCH_SECTOR)->text();
                            total = FindControl<QLabel>(search, IDC_SEARCH_TOTAL)->text();
                        });
                    })
            .Then([&](QWidget* drives) {
                rows = ListOf(drives, IDC_DRIVE_LIST)->topLevelItemCount();
                Click(drives, IDC_DRIVE_CANCEL);
            });
        Run(script, ID_SELECT_PHYSICAL_DISK);
        QVERIFY(rows >= 1);
        QVERIFY2(examined.toULongLong() < total.toULongLong(),
                 qPrintable(examined + " of " + total));
    }

    void closingTheWindowStopsARunningSearchAndGoesNoFurther() {
        if (!fs::exists(Fixture("sample-disk.img"))) QSKIP("sample-disk.img not made");
        ImageCopy large(Fixture("sample-disk.img"), "-closing.img");
        large.Grow(std::uint64_t{6} << 30);
        UseDisks({large.path()});
        QPointer<CWorkerThread> worker;
        ModalScript script;
        PickDisk(script, 0, true).OnShow("158", [&](QDialog* search) {
            worker = static_cast<CSearchLogDrivesDlg*>(search)->Worker();
            QTimer::singleShot(100, Frame(), [this] { Frame()->close(); });
        });
        QElapsedTimer clock;
        clock.start();
        Run(script, ID_SELECT_PHYSICAL_DISK);
        QVERIFY(!Frame()->isVisible());
        QVERIFY(worker.isNull() || worker->isFinished());
        QVERIFY(!Session().HasDrive());
        QVERIFY(Session().Drives().empty());
        QVERIFY2(clock.elapsed() < 20000, "the search was not stopped");
    }

    void anOpenedImageJoinsTheDiskListAndGoesOnToTheSearchType() {
        UseDisks({Fixture("mbr-mixed.img")});
        ModalScript script;
        script.Then([](QWidget* type) { Click(type, IDC_SEARCH_TYPE_CANCEL); });
        QVERIFY(Frame()->Chooser().OpenDiskImage(Fixture("sample-disk.img")));
        QVERIFY(script.Done());
        const auto disks = Session().ListDisks();
        QCOMPARE(disks.size(), std::size_t{2});
        QCOMPARE(disks[1].serial, std::string("sample-disk.img"));
        QVERIFY(App().State().driveSearch == DriveSearch::kCancelled);

        QStringList notices;
        ModalScript refused;
        refused.ThenNotice(&notices);
        QVERIFY(!Frame()->Chooser().OpenDiskImage("/nonexistent/disk.img"));
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices[0].contains("/nonexistent/disk.img"));
        QCOMPARE(Session().ListDisks().size(), std::size_t{2});
    }

    void diskListShowsTheAccessNoteAndTakesEnterAndDoubleClick() {
        const std::vector<DiskSummary> disks = {{"ST380011A", "3JV1", 100, "/dev/sda"},
                                                {"UNKNOWN", "UNKNOWN", 100, "/dev/sdb"}};
        {
            CSelectPhysicalDiskDlg dialog(disks, std::string("1 disk cannot be read"));
            dialog.show();
            QCOMPARE(FindControl<QLabel>(&dialog, IDC_DISK_ACCESS_NOTE)->text(),
                     QString("1 disk cannot be read"));
            Click(&dialog, IDC_DISK_OK);  // nothing selected: nothing happens
            QVERIFY(dialog.isVisible());
            QTreeWidget* list = ListOf(&dialog, IDC_DISK_LIST);
            list->setFocus();
            list->setCurrentItem(list->topLevelItem(1));
            QTest::keyClick(list, Qt::Key_Return);
            QCOMPARE(dialog.ChosenRow(), 1);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        {
            CSelectPhysicalDiskDlg dialog(disks, std::nullopt);
            dialog.show();
            QVERIFY(!FindControl<QLabel>(&dialog, IDC_DISK_ACCESS_NOTE));
            QTreeWidget* list = ListOf(&dialog, IDC_DISK_LIST);
            const QRect row = list->visualItemRect(list->topLevelItem(0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
            QCOMPARE(dialog.ChosenRow(), 0);
        }
    }
};

TARVIK_GUI_TEST_MAIN(DriveChoiceTest)
#include "drive_choice_test.moc"
