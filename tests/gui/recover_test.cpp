// The recover commands of the desktop program over a scanned fixture drive: checked
// folders, deleted files and filtered recoveries land on disk byte for byte as the
// fixture wrote them; Cancel stops the writer mid-way with nothing left open; a
// destination on the scanned disk is refused before anything is written; the Add File
// Filter dialog's list, roll-back and limits.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/browse/left_view.h"
#include "app/command_ids.h"
#include "app/control_id.h"
#include "app/main_frame.h"
#include "app/recover/add_file_filter_dlg.h"
#include "app/recover/saving_files_dlg.h"
#include "app/recover/saving_summary_dlg.h"
#include "common/progress_slot.h"
#include "gui_test_main.h"
#include "modal_script.h"
#include "recovery/destination_check.h"
#include "sample_drive.h"
#include "session/recovery_session.h"

using namespace tarvik;
using namespace tarvik::testing;
namespace fs = std::filesystem;

namespace {

struct ManifestFile {
    std::uint64_t size = 0;
    QString md5;
    bool deleted = false;
};

// The fixture's own record of its files: path from the volume root -> size, MD5, state.
std::map<QString, ManifestFile> ReadManifest() {
    std::map<QString, ManifestFile> files;
    QFile file(QString::fromStdString(Fixture("sample-disk.img.manifest")));
    if (!file.open(QIODevice::ReadOnly)) return files;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split('\t');
        if (fields.size() != 4) continue;
        files[fields[0].mid(1)] = {fields[1].toULongLong(), fields[2], fields[3] == "deleted"};
    }
    return files;
}

// Every regular file under `root`, by its path below it, with its MD5.
std::map<QString, QString> WrittenFiles(const QString& root) {
    std::map<QString, QString> written;
    const fs::path base = root.toStdString();
    if (!fs::exists(base)) return written;
    for (const auto& item : fs::recursive_directory_iterator(base)) {
        if (!item.is_regular_file()) continue;
        QFile file(QString::fromStdString(item.path().string()));
        if (!file.open(QIODevice::ReadOnly)) continue;
        QCryptographicHash md5(QCryptographicHash::Md5);
        md5.addData(&file);
        written[QString::fromStdString(fs::relative(item.path(), base).string())] =
            QString::fromLatin1(md5.result().toHex());
    }
    return written;
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// Clicks Cancel of the saving dialog once the writer names a file, from the worker's
// thread, and holds the worker until the click has been made.
class CancelAt final : public NullProgressSink {
  public:
    CancelAt(CSavingFilesDlg* dialog, QString name) : dialog_(dialog), name_(std::move(name)) {}
    void SetText(int slot, const std::string& text) override {
        if (done_ || slot != kSlotSavingText || !QString::fromStdString(text).endsWith(name_))
            return;
        done_ = true;
        QMetaObject::invokeMethod(
            dialog_, [this] { FindControl<QPushButton>(dialog_, IDC_SAVING_CANCEL)->click(); },
            Qt::BlockingQueuedConnection);
    }

  private:
    CSavingFilesDlg* dialog_;
    QString name_;
    bool done_ = false;
};

}  // namespace

class RecoverTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }
    CMainFrame* Frame() { return App().CreateMainFrame(); }
    RecoverySession& Session() { return *App().Session; }
    CLeftView* Tree() { return Frame()->LeftView(); }

    std::map<QString, ManifestFile> manifest_;
    std::unique_ptr<QTemporaryDir> out_;

    QModelIndex TreeItem(const QStringList& path) { return TreeItemAt(Tree(), path); }

    // Runs a recover command into a fresh folder, with the summary dismissed; the summary's
    // text is kept in `summary`.
    QString Recover(int command, QString* summary = nullptr, QStringList* notices = nullptr) {
        out_ = std::make_unique<QTemporaryDir>();
        const QString destination = out_->path();
        Frame()->SetFolderChooser([destination] { return destination; });
        ModalScript script;
        script.Then([summary, notices, destination](QWidget* window) {
            if (auto* box = qobject_cast<QMessageBox*>(window)) {
                if (notices) notices->append(box->windowTitle() + ": " + box->text());
                box->accept();
                return;
            }
            auto* dialog = qobject_cast<CSavingSummaryDlg*>(window);
            if (dialog && summary) *summary = dialog->Summary()->text();
            // The report the summary offers, saved beside Root.
            if (dialog && dialog->SaveReportButton())
                dialog->SaveReportTo(destination + "/report.tsv");
            if (dialog) SaveShot(dialog, "saving-summary");
            static_cast<QDialog*>(window)->accept();
        });
        Frame()->OnCommand(command);
        return destination + "/Root";
    }

    // The manifest's files chosen by `keep`, by path, with their MD5s.
    std::map<QString, QString> Expected(
        const std::function<bool(const QString&, const ManifestFile&)>& keep) {
        std::map<QString, QString> expected;
        for (const auto& [path, file] : manifest_)
            if (keep(path, file)) expected[path] = file.md5;
        return expected;
    }

    void RunFilterDialog(const QStringList& patterns, int confirmId) {
        ModalScript script;
        script.Then([&](QWidget* window) {
            auto* edit = FindControl<QLineEdit>(window, IDC_FILTER_EDIT);
            for (const QString& pattern : patterns) {
                edit->setText(pattern);
                FindControl<QPushButton>(window, IDC_FILTER_ADD)->click();
            }
            SaveShot(window, "add-file-filter");
            FindControl<QPushButton>(window, confirmId)->click();
        });
        Frame()->OnCommand(ID_ADD_FILE_FILTER);
    }

  private slots:
    void initTestCase() {
        if (!fs::exists(Fixture("sample-disk.img"))) QSKIP("sample-disk.img not made");
        manifest_ = ReadManifest();
        QVERIFY(!manifest_.empty());
        QVERIFY(ScanFirstDrive(Session(), "sample-disk.img"));
        Frame()->resize(900, 600);
        Frame()->show();
        ModalScript note;
        note.Then([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
        Frame()->ShowScannedDrive();
        CLeftView::SetImportantNoteShown(false);
    }

    void init() {
        if (!Session().HasDrive()) QSKIP("no drive");
        Frame()->OnCommand(ID_UNSELECT_ALL);
        Session().DropFileFilter();
        App().State().filterActive = false;
    }

    void recoverSelectedWritesExactlyTheCheckedDeletedFolder() {
        QVERIFY(!Frame()->ToolbarButtonEnabled(ID_RECOVER_SELECTED));
        const QModelIndex old = TreeItem({"Old"});
        QVERIFY(old.isValid());
        Tree()->ApplyFolderCheck(old, 1);
        QVERIFY(App().State().checked.any);
        QVERIFY(Frame()->ToolbarButtonEnabled(ID_RECOVER_SELECTED));

        const auto started = std::chrono::system_clock::now();
        QString summary;
        const QString root = Recover(ID_RECOVER_SELECTED, &summary);
        QCOMPARE(Frame()->DestinationPath(), root);
        QCOMPARE(WrittenFiles(root), Expected([](const QString& path, const ManifestFile&) {
                     return path.startsWith("Old/");
                 }));
        QVERIFY2(summary.contains("Files written: 3 (330,700 bytes)"), qPrintable(summary));
        QVERIFY2(summary.contains("Saved under: " + root), qPrintable(summary));
        // The files carry the volume's dates, not the time they were written here.
        struct stat st {};
        QCOMPARE(::stat((root + "/Old/notes.txt").toLocal8Bit().constData(), &st), 0);
        QVERIFY(std::chrono::system_clock::from_time_t(st.st_mtime) < started);

        // The saved report: a row per file written, each with the SHA-256 of its bytes.
        QFile report(root + "/../report.tsv");
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(report.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        for (const QString& line : lines.mid(1)) {
            const QStringList fields = line.split('\t');
            QCOMPARE(fields.size(), 11);
            QCOMPARE(fields[10], QString("live volume"));
            QFile written(fields[0]);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(fields[2],
                     QString::fromLatin1(
                         QCryptographicHash::hash(written.readAll(), QCryptographicHash::Sha256)
                             .toHex()));
            QCOMPARE(fields[3], QString("intact"));
        }
    }

    void recoverDeletedFilesWritesTheDeletedOnesOnly() {
        QVERIFY(Frame()->MenuItemEnabled(ID_RECOVER_DELETED));
        const QString root = Recover(ID_RECOVER_DELETED);
        QCOMPARE(WrittenFiles(root),
                 Expected([](const QString&, const ManifestFile& file) { return file.deleted; }));
        QCOMPARE(Frame()->CurrentRecoveryMode(), RecoveryMode::kDeleted);
    }

    void aFilterNarrowsRecoverAllInBothModes() {
        QVERIFY(!Frame()->MenuItemEnabled(ID_REMOVE_FILE_FILTER));
        RunFilterDialog({"*.jpg"}, IDC_FILTER_INCLUDE);
        QVERIFY(App().State().filterActive);
        QVERIFY(Frame()->MenuItemEnabled(ID_REMOVE_FILE_FILTER));
        QString summary;
        QString root = Recover(ID_RECOVER_ALL, &summary);
        const auto isJpg = [](const QString& path, const ManifestFile&) {
            return path.endsWith(".jpg");
        };
        QCOMPARE(WrittenFiles(root), Expected(isJpg));
        QVERIFY2(summary.contains("Files left out by the file filter: "), qPrintable(summary));

        // Reopened, the dialog shows the confirmed list; Exclude turns it round.
        RunFilterDialog({}, IDC_FILTER_EXCLUDE);
        QCOMPARE(Session().GetFileFilter()->count(), std::size_t{1});
        root = Recover(ID_RECOVER_ALL);
        const std::map<QString, QString> written = WrittenFiles(root);
        const std::map<QString, QString> others =
            Expected([&](const QString& path, const ManifestFile& f) { return !isJpg(path, f); });
        for (const auto& [path, md5] : others) QCOMPARE(written.at(path), md5);
        for (const auto& [path, md5] : written) QVERIFY2(!path.endsWith(".jpg"), qPrintable(path));

        Frame()->OnCommand(ID_REMOVE_FILE_FILTER);
        QVERIFY(!Session().HoldsFileFilter());
        QVERIFY(!App().State().filterActive);
        QVERIFY(!Frame()->MenuItemEnabled(ID_REMOVE_FILE_FILTER));
    }

    void cancelStopsTheWriterInTheMiddleWithNothingLeftOpen() {
        const int descriptors = OpenDescriptors();
        CancelAt* cancel = nullptr;
        ModalScript script;
        script.OnShow(ControlName(IDD_SAVING_FILES), [&](QDialog* dialog) {
            auto* saving = static_cast<CSavingFilesDlg*>(dialog);
            cancel = new CancelAt(saving, "song.mp3");
            saving->SetProgressObserver(cancel);
            // Escape and Enter do nothing while the writer runs.
            QTest::keyClick(saving, Qt::Key_Escape);
            QTest::keyClick(saving, Qt::Key_Return);
        });
        QString summary;
        const QString root = Recover(ID_RECOVER_ALL, &summary);
        delete cancel;
        QVERIFY(script.seen.contains(ControlName(IDD_SAVING_FILES)));
        QVERIFY(Frame()->LastRecovery() && Frame()->LastRecovery()->stopped);
        QVERIFY2(summary.contains("The saving was cancelled"), qPrintable(summary));
        // The file cut short is not left to pass for a whole one; the files before it are.
        QVERIFY(!QFile::exists(root + "/Music/song.mp3"));
        QVERIFY(QFile::exists(root + "/readme.txt"));
        // Files are written in the order of their data on the drive: those written before
        // the stop are whole.
        const std::map<QString, QString> all =
            Expected([](const QString&, const ManifestFile&) { return true; });
        const std::map<QString, QString> written = WrittenFiles(root);
        for (const auto& [path, md5] : written) {
            const auto expected = all.find(path);
            if (expected != all.end()) QCOMPARE(md5, expected->second);
        }
        QCOMPARE(OpenDescriptors(), descriptors);
    }

    void aDestinationOnTheScannedDiskIsRefusedBeforeAnythingIsWritten() {
        // A made-up sysfs where the image backs a loop device holding the destination.
        QTemporaryDir sys;
        out_ = std::make_unique<QTemporaryDir>();
        struct stat st {};
        QCOMPARE(::stat(out_->path().toLocal8Bit().constData(), &st), 0);
        const fs::path loop = fs::path(sys.path().toStdString()) / "block" / "loop7";
        fs::create_directories(loop / "loop");
        std::ofstream(loop / "loop" / "backing_file")
            << fs::absolute(Fixture("sample-disk.img")).string() << "\n";
        std::ofstream(loop / "dev") << major(st.st_dev) << ":" << minor(st.st_dev) << "\n";
        Session().SetSystemRoot(sys.path().toStdString());

        const QString destination = out_->path();
        Frame()->SetFolderChooser([destination] { return destination; });
        QStringList notices;
        ModalScript script;
        script.ThenNotice(&notices);
        Frame()->OnCommand(ID_RECOVER_ALL);
        Session().SetSystemRoot("/sys");
        QCOMPARE(notices,
                 QStringList({QString(kAppCaption) + ": " + kDestinationOnScannedDiskText}));
        QVERIFY(!script.seen.contains(ControlName(IDD_SAVING_FILES)));
        QVERIFY(QDir(destination).isEmpty());
    }

    void aDestinationThatCannotBeToldApartIsAskedAboutAndNoIsTheDefault() {
        // A made-up mount table where the destination is an sshfs mount: its store cannot
        // be followed.
        QTemporaryDir tables;
        out_ = std::make_unique<QTemporaryDir>();
        const QString destination = out_->path();
        const std::string table = tables.path().toStdString() + "/mountinfo";
        std::ofstream(table) << "1 0 254:0 / / rw - ext4 /dev/vda rw\n"
                             << "60 1 0:60 / " << destination.toStdString()
                             << " rw - fuse.sshfs user@host:/backup rw\n";
        Session().SetMountTable(table);
        Frame()->SetFolderChooser([destination] { return destination; });
        QString question;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        {
            ModalScript script;
            script.Then([&](QWidget* window) {
                auto* box = qobject_cast<QMessageBox*>(window);
                if (!box) return;
                question = box->text();
                defaultButton = box->standardButton(box->defaultButton());
                box->button(QMessageBox::No)->click();
            });
            Frame()->OnCommand(ID_RECOVER_ALL);
            QVERIFY(!script.seen.contains(ControlName(IDD_SAVING_FILES)));
        }
        QVERIFY2(question.contains("user@host:/backup"), qPrintable(question));
        QCOMPARE(defaultButton, QMessageBox::No);
        QVERIFY(QDir(destination).isEmpty());
        // Yes goes on with the recovery.
        {
            ModalScript script;
            script.Then([](QWidget* window) {
                if (auto* box = qobject_cast<QMessageBox*>(window))
                    box->button(QMessageBox::Yes)->click();
            });
            script.Then([](QWidget* window) { static_cast<QDialog*>(window)->accept(); });
            Frame()->OnCommand(ID_RECOVER_ALL);
            QVERIFY(script.seen.contains(ControlName(IDD_SAVING_FILES)));
        }
        Session().SetMountTable("/proc/self/mountinfo");
        QVERIFY(QDir(destination + "/Root").exists());
    }

    void cancelInTheFolderBrowserDoesNothing() {
        Frame()->SetFolderChooser([] { return QString(); });
        ModalScript script;
        Frame()->OnCommand(ID_RECOVER_ALL);
        QVERIFY(script.seen.isEmpty());
    }

    void theRootRule() {
        QCOMPARE(DestinationRoot("/"), QString("/Root"));
        QCOMPARE(DestinationRoot("/media/out"), QString("/media/out/Root"));
        QCOMPARE(DestinationRoot("/media/out/"), QString("/media/out/Root"));
    }

    // ---- the Add File Filter dialog on its own

    void cancelTakesBackOnlyWhatThisOpeningAdded() {
        {
            CAddFileFilterDlg dialog(Session(), App());
            for (const char* p : {"*.doc", "*.txt", "a*.jpg"}) {
                FindControl<QLineEdit>(&dialog, IDC_FILTER_EDIT)->setText(p);
                dialog.OnAddToList();
            }
            dialog.OnInclude();
        }
        {
            CAddFileFilterDlg dialog(Session(), App());
            auto* list = FindControl<QListWidget>(&dialog, IDC_FILTER_LIST);
            QCOMPARE(list->count(), 3);
            for (const char* p : {"x", "y"}) {
                FindControl<QLineEdit>(&dialog, IDC_FILTER_EDIT)->setText(p);
                dialog.OnAddToList();
            }
            QCOMPARE(Session().GetFileFilter()->count(), std::size_t{5});
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QCOMPARE(list->count(), 3);
        }
        const FileFilter& filter = *Session().GetFileFilter();
        QCOMPARE(filter.count(), std::size_t{3});
        QCOMPARE(filter.Pattern(2), std::string_view("a*.jpg"));
        QCOMPARE(filter.mode(), FilterMode::kInclude);
    }

    void includeWithNothingAddedMakesNoFilterAndCancelLeavesNone() {
        {
            CAddFileFilterDlg dialog(Session(), App());
            dialog.OnInclude();
        }
        QVERIFY(App().State().filterActive);
        QVERIFY(!Session().HoldsFileFilter());
        App().State().filterActive = false;
        {
            CAddFileFilterDlg dialog(Session(), App());
            FindControl<QLineEdit>(&dialog, IDC_FILTER_EDIT)->setText("*.doc");
            dialog.OnAddToList();
            QVERIFY(Session().HoldsFileFilter());
            dialog.reject();
        }
        // A filter the dialog made and took back again is not left behind.
        QVERIFY(!Session().HoldsFileFilter());
        QVERIFY(!App().State().filterActive);
    }

    void theLimitsAreRefusedVisibly() {
        CAddFileFilterDlg dialog(Session(), App());
        auto* edit = FindControl<QLineEdit>(&dialog, IDC_FILTER_EDIT);
        auto* add = FindControl<QPushButton>(&dialog, IDC_FILTER_ADD);
        auto* limit = FindControl<QLabel>(&dialog, IDC_FILTER_LIMIT);
        // 127 characters fit; the edit field takes no more and says why.
        edit->setText(QString(200, 'a'));
        QCOMPARE(edit->text().size(), 127);
        QCOMPARE(limit->text(), QString(kPatternTooLongText));
        // 127 characters of two bytes each do not fit a slot.
        edit->setText(QString(100, QChar(0xE9)));
        QVERIFY(!add->isEnabled());
        dialog.OnAddToList();
        QVERIFY(!Session().HoldsFileFilter());
        for (int i = 0; i < 32; ++i) {
            edit->setText(QString("p%1").arg(i));
            dialog.OnAddToList();
        }
        QCOMPARE(Session().GetFileFilter()->count(), std::size_t{32});
        QVERIFY(!add->isEnabled());
        QVERIFY(!edit->isEnabled());
        QCOMPARE(limit->text(), QString(kFilterFullText));
        dialog.OnExclude();
        QCOMPARE(Session().GetFileFilter()->mode(), FilterMode::kExclude);
    }
};

TARVIK_GUI_TEST_MAIN(RecoverTest)
#include "recover_test.moc"
