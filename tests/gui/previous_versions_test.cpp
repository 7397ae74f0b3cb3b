// Older versions of files in shadow copies, in the file list: over the shared Windows 7
// volume with two shadow copies, the live drive's list counts the versions of a file a
// copy holds in another state, and of the files below each folder (a file the live volume
// no longer has included), with the copies' times in the tooltip; Recover Previous
// Versions writes them beside the live files byte for byte, with the report naming each
// file's source and the user's check marks left as they were. A drive without shadow
// copies shows no count.
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/main_frame.h"
#include "app/recover/previous_versions.h"
#include "gui_test_main.h"
#include "sample_drive.h"
#include "session/recovery_session.h"

using namespace tarvik;
using namespace tarvik::testing;
namespace fs = std::filesystem;

namespace {

const char* const kStoreFile =
    "{600f0b69-5bdf-11e3-9d6c-005056c00008}{3808876b-c176-4e48-b7ae-04046e6cc752}";

QString Md5Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("missing");
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(&file);
    return QString::fromLatin1(md5.result().toHex());
}

bool UnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

}  // namespace

class PreviousVersionsTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }
    CMainFrame* Frame() { return App().CreateMainFrame(); }
    RecoverySession& Session() { return *App().Session; }
    CTarvikView* List() { return Frame()->ListView(); }
    CFileListModel* Model() { return List()->Model(); }
    CPreviousVersions& Versions() { return List()->PreviousVersions(); }

    // Scans the first drive of `image` as the program does, shows it, and waits for the
    // versions to be found.
    bool ShowScanned(const std::string& image) {
        Frame()->ClearViews();
        NullProgressSink quiet;
        QuietNotifier notifier;
        if (Session().LoadDisks({image}, false)) return false;
        if (!Session().FindDrives(0, DriveDiscovery::kPartitionTableOnly, quiet, notifier))
            return false;
        if (Session().OpenDrive(0, notifier) != DriveOpening::kOpened) return false;
        Session().Scan(quiet, notifier);
        Session().Conditions(quiet);
        Frame()->ShowScannedDrive();
        Versions().Wait();
        return Versions().Marks() != nullptr;
    }
    // With TARVIK_SHOT_DIR set (under an X server), a picture of the screen with the
    // list's context menu open on a row, for a developer to look at.
    void ShootMenuOn(int row) {
        const QString folder = qEnvironmentVariable("TARVIK_SHOT_DIR");
        if (folder.isEmpty() || row < 0) return;
        QAbstractItemView* view = List()->RowView();
        view->selectionModel()->select(Model()->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
        const QRect cell = view->visualRect(Model()->index(row, 0));
        QTimer::singleShot(500, [folder] {
            QDir().mkpath(folder);
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                QDir(folder).filePath("versions-menu.png"), "PNG");
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        });
        List()->ShowContextMenu(view->viewport()->mapToGlobal(cell.center()));
        view->selectionModel()->clearSelection();
    }
    int Row(const QString& name) {
        for (int row = 0; row < Model()->rowCount(); ++row)
            if (Model()->index(row, 0).data().toString() == name) return row;
        return -1;
    }
    QString Cell(const QString& name, int role = Qt::DisplayRole) {
        const int row = Row(name);
        if (row < 0) return QStringLiteral("no row %1").arg(name);
        return Model()->index(row, CFileListModel::kVersions).data(role).toString();
    }

  private slots:
    void initTestCase() {
        CLeftView::SetImportantNoteShown(false);
        Frame()->resize(1000, 600);
        Frame()->show();
    }

    void driveWithoutShadowCopiesShowsNoCount() {
        if (!fs::exists(Fixture("sample-disk.img"))) QSKIP("sample-disk.img not made");
        QVERIFY(ShowScanned(Fixture("sample-disk.img")));
        QVERIFY(Versions().Marks()->Empty());
        QVERIFY(Model()->rowCount() > 0);
        for (int row = 0; row < Model()->rowCount(); ++row)
            QVERIFY(Model()->index(row, CFileListModel::kVersions).data().toString().isEmpty());
        QVERIFY(!Versions().AnyVersions(List()->ChosenPaths()));
    }

    void countsAndRecoversTheVersionsOfShadowCopies() {
        const QString image = QString(TARVIK_SHARED_DIR) + "/testdata/vsstest.qcow2";
        if (!QFile::exists(image)) {
            if (UnderCi()) QFAIL("vsstest.qcow2 missing under CI");
            QSKIP("vsstest.qcow2 not found under the shared test data");
        }
        QVERIFY(ShowScanned(image.toStdString()));

        // Root's rows: the folder whose store file the copies hold at another size, and
        // the live files, which the second copy holds as they are now.
        QCOMPARE(Cell("System Volume Information"), QString("1"));
        QVERIFY(Cell("System Volume Information", Qt::ToolTipRole)
                    .contains("shadow copy 1 (2013-12-03 06:35 UTC)"));
        for (const char* same : {"syslog.gz", "another_file", "password.txt"})
            QCOMPARE(Cell(same), QString());
        // Root itself also counts syslog, which only the first copy holds.
        QCOMPARE(Versions().Marks()->OfRoot().size(), std::size_t{2});
        QCOMPARE(List()->ChosenPaths(), std::vector<std::string>{"Root"});
        QVERIFY(Versions().AnyVersions({"Root"}));
        QVERIFY(!Versions().AnyVersions({"Root/syslog.gz"}));
        ShootMenuOn(Row("System Volume Information"));

        const CheckTree& tree = Session().Checks();
        const auto folder = tree.Find("Root/System Volume Information");
        QVERIFY(folder.has_value());
        for (CheckTree::FolderNode node : tree.SubFolders(CheckTree::kRootNode))
            if (tree.FolderPosition(node) == folder) List()->FillList(node);
        QCOMPARE(Cell(kStoreFile), QString("1"));
        QVERIFY(Cell(kStoreFile, Qt::ToolTipRole).startsWith("1 older version in:"));
        QCOMPARE(Cell("{3808876b-c176-4e48-b7ae-04046e6cc752}"), QString());
        List()->FillList(CheckTree::kRootNode);

        // The user's marks: one live file checked, which the recovery leaves so.
        const auto password = tree.Find("Root/password.txt");
        QVERIFY(password.has_value());
        Session().Checks().SetChecked(*password, true);

        QTemporaryDir out;
        Frame()->SetFolderChooser([&out] { return out.path(); });
        Frame()->SetShowSavingSummary(false);
        Versions().Recover({"Root"});
        const QString root = out.path() + "/Root/";
        QCOMPARE(Md5Of(root + "syslog (shadow 2013-12-03 0635)"),
                 QString("8b32710e60ce9f650b8b4dcc2b3ee927"));
        QCOMPARE(Md5Of(root + "syslog.gz"), QString("69075a6252d60c09086e2f247aa07203"));
        QCOMPARE(Md5Of(root + "another_file"), QString("d54ff73404ed6041a3bd66850b061bff"));
        QCOMPARE(Md5Of(root + "password.txt"), QString("39cb097008d17660abd0539891a672af"));
        QVERIFY(QFile::exists(root + "System Volume Information/" + kStoreFile +
                              " (shadow 2013-12-03 0635)"));
        // Only one version of each: the second copy's are the first's or the live ones.
        QVERIFY(!QFile::exists(root + "syslog.gz (shadow 2013-12-03 0637)"));
        QVERIFY(!QFile::exists(root + "System Volume Information/" + kStoreFile +
                               " (shadow 2013-12-03 0637)"));
        QVERIFY(!QDir(out.path()).entryList().join(' ').contains("Shadow copy"));

        bool namedCopy = false;
        for (const ReportRow& row : Session().LastReport().Rows()) {
            QVERIFY(!row.source.empty());
            if (row.path == (root + "syslog (shadow 2013-12-03 0635)").toStdString())
                namedCopy = row.source == "shadow copy 1 (2013-12-03 06:35 UTC)";
            if (row.path == (root + "syslog.gz").toStdString())
                QCOMPARE(row.source, std::string("live volume"));
        }
        QVERIFY(namedCopy);

        for (std::size_t p = 0; p < tree.Placed().size(); ++p)
            QCOMPARE(tree.MarkOf(p) == CheckMark::kChecked, p == *password);
        Session().Checks().SetAllChecked(false);
    }

    void cleanupTestCase() { Frame()->ClearViews(); }
};

TARVIK_GUI_TEST_MAIN(PreviousVersionsTest)
#include "previous_versions_test.moc"
