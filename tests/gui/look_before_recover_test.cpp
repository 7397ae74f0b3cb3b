// Looking at a scan before recovering it: the preview of every fixture file shows the
// first bytes its recovered copy holds (compressed, sparse, fragmented, resident and
// deleted files alike); a saved scan, opened again, lists and recovers exactly what the
// scan did and is refused on another disk; the filter bar lists exactly the entries the
// core's filter lets through.
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <filesystem>
#include <map>

#include "app/browse/breadcrumbs.h"
#include "app/browse/browse_tools.h"
#include "app/browse/filter_bar.h"
#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/main_frame.h"
#include "app/preview/preview_pane.h"
#include "gui_test_main.h"
#include "modal_script.h"
#include "sample_drive.h"
#include "session/entry_filter.h"
#include "session/saved_scan.h"

using namespace tarvik;
using namespace tarvik::testing;
namespace fs = std::filesystem;

namespace {

// The fixture's files: path below the volume root -> whether it is deleted.
std::map<QString, bool> ManifestPaths(const char* image) {
    std::map<QString, bool> files;
    QFile file(QString::fromStdString(Fixture(image)) + ".manifest");
    if (!file.open(QIODevice::ReadOnly)) return files;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split('\t');
        if (fields.size() == 4) files[fields[0].mid(1)] = fields[3] == "deleted";
    }
    return files;
}

QByteArray FileBytes(const QString& path, qsizetype count = -1) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return count < 0 ? file.readAll() : file.read(count);
}

// Every file written under `root`, by path below it, with its MD5.
std::map<QString, QByteArray> Written(const QString& root) {
    std::map<QString, QByteArray> written;
    if (!fs::exists(root.toStdString())) return written;
    for (const auto& item : fs::recursive_directory_iterator(root.toStdString())) {
        if (!item.is_regular_file()) continue;
        const QString path = QString::fromStdString(item.path().string());
        written[path.mid(root.size() + 1)] =
            QCryptographicHash::hash(FileBytes(path), QCryptographicHash::Md5);
    }
    return written;
}

// What a listing shows of every entry, in placement order.
QStringList Listing(RecoverySession& session) {
    QStringList rows;
    const Catalogue& catalogue = session.GetCatalogue();
    const CheckTree& tree = session.Checks();
    const ConditionTable* conditions = session.MadeConditions();
    for (std::size_t position = 0; position < tree.Placed().size(); ++position) {
        const std::size_t index = tree.Placed()[position].catalogueIndex;
        const CatalogueEntry& entry = catalogue.At(index);
        const quint64 size = entry.size;
        const quint64 created = entry.creationTime;
        rows << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(QString::fromStdString(tree.PathOf(position)))
                    .arg(size)
                    .arg(created)
                    .arg(entry.IsDeleted() ? 1 : 0)
                    .arg(QString::fromLatin1(
                        conditions ? ConditionWord(conditions->Condition(index).condition) : "-"));
    }
    return rows;
}

}  // namespace

class LookBeforeRecoverTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }
    CMainFrame* Frame() { return App().CreateMainFrame(); }
    RecoverySession& Session() { return *App().Session; }
    CBrowseTools* Tools() { return Frame()->findChild<CBrowseTools*>(); }

    // Scans a fixture and shows it; false (after a skip) when it was not made.
    bool Show(const char* image) {
        Frame()->ClearViews();
        if (!fs::exists(Fixture(image))) return false;
        if (!ScanFirstDrive(Session(), image)) return false;
        Frame()->ShowScannedDrive();
        return true;
    }

    // Recovers every file of the drive shown into a new folder; its Root.
    QString RecoverAll(QTemporaryDir& into) {
        NullProgressSink quiet;
        QuietNotifier notifier;
        Session().Recover(into.path().toStdString(), RecoveryMode::kAll, quiet, notifier);
        return into.path() + "/Root";
    }

    // The catalogue index behind a path below Root.
    std::optional<std::size_t> IndexOf(const QString& path) {
        const auto position = Session().Checks().Find(("Root/" + path).toStdString());
        if (!position) return std::nullopt;
        return Session().Checks().Placed()[*position].catalogueIndex;
    }

    void CheckPreviews(const char* image) {
        if (!Show(image)) QSKIP("fixture not made");
        QTemporaryDir out;
        const QString root = RecoverAll(out);
        Tools()->SetPreviewShown(true);
        CPreviewPane* pane = Tools()->Preview();
        const auto manifest = ManifestPaths(image);
        QVERIFY(!manifest.empty());
        for (const auto& [path, deleted] : manifest) {
            const auto index = IndexOf(path);
            QVERIFY2(index.has_value(), qPrintable(path));
            const QByteArray copy = FileBytes(root + "/" + path);
            QVERIFY2(!copy.isEmpty() || Session().GetCatalogue().At(*index).size == 0,
                     qPrintable(path));
            QSignalSpy shown(pane, &CPreviewPane::Shown);
            pane->ShowEntry(*index);
            QVERIFY2(shown.wait(10000), qPrintable(path));
            const qsizetype expected = std::min<qsizetype>(
                copy.size(), NamesImage(path) ? kPreviewImageBytes : kPreviewTextBytes);
            QCOMPARE(pane->Bytes().size(), expected);
            QVERIFY2(pane->Bytes() == copy.left(expected), qPrintable(path));
            // The whole file through the same read equals the whole copy.
            const auto whole = Session().ReadEntryData(*index, 0, 64u << 20);
            QVERIFY(whole.has_value());
            QVERIFY2(QByteArray(reinterpret_cast<const char*>(whole->bytes.data()),
                                static_cast<qsizetype>(whole->bytes.size())) == copy,
                     qPrintable(path));
            QVERIFY(whole->unreadable.empty());
        }
    }

  private slots:
    void initTestCase() {
        CLeftView::SetImportantNoteShown(false);
        Frame()->resize(1000, 600);
        Frame()->show();
    }

    void previewOfEveryFileIsTheStartOfItsRecoveredCopy() { CheckPreviews("sample-disk.img"); }
    void previewOfCompressedSparseFragmentedAndResidentFiles() { CheckPreviews("bare-ntfs.img"); }

    void aReopenedScanListsAndRecoversWhatTheScanDid() {
        if (!Show("sample-disk.img")) QSKIP("fixture not made");
        QTemporaryDir work;
        const QString saved = work.path() + "/sample.tarvikscan";
        Session().Checks().SetChecked(*Session().Checks().Find("Root/Photos"), true);
        QCOMPARE(Tools()->SaveScanTo(saved), QString());
        const QStringList listed = Listing(Session());
        QTemporaryDir first;
        const auto written = Written(RecoverAll(first));
        QVERIFY(written.size() >= 10);

        QCOMPARE(Tools()->OpenScanFrom(saved), QString());
        QVERIFY(Session().HasDrive());
        QCOMPARE(Listing(Session()), listed);
        QCOMPARE(Session().Checks().MarkOf(*Session().Checks().Find("Root/Photos")),
                 CheckMark::kChecked);
        QVERIFY(Frame()->LeftView()->Model()->rowCount() > 0);
        QTemporaryDir second;
        QCOMPARE(Written(RecoverAll(second)), written);

        // Another disk is refused with the reason, and a damaged file before any disk.
        QVERIFY(Show("bare-ntfs.img"));
        QVERIFY(!Tools()->OpenScanFrom(saved).isEmpty());
        std::string why;
        const auto scan = SavedScan::Load(saved.toStdString(), why);
        QVERIFY(scan.has_value());
        NullProgressSink quiet;
        QuietNotifier notifier;
        QVERIFY(Session().FindDrives(0, DriveDiscovery::kPartitionTableOnly, quiet, notifier));
        QCOMPARE(Session().OpenDrive(0, notifier), DriveOpening::kOpened);
        const auto refused = Session().ReopenScan(*scan);
        QVERIFY(refused.has_value());
        QVERIFY2(refused->find("the scanned") != std::string::npos, refused->c_str());
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() - 3);
        file.write("XYZ");
        file.close();
        QVERIFY(Tools()->OpenScanFrom(saved).contains("damaged"));
    }

    void theFilterBarListsWhatTheCatalogueFilterLetsThrough() {
        if (!Show("sample-disk.img")) QSKIP("fixture not made");
        CFilterBar* bar = Tools()->FilterBar();
        CFileListModel* model = Frame()->ListView()->Model();
        const auto shownIndexes = [&] {
            std::vector<std::size_t> indexes;
            for (int row = 0; row < model->rowCount(); ++row)
                indexes.push_back(
                    Session().Checks().Placed()[model->PositionOf(row)].catalogueIndex);
            std::sort(indexes.begin(), indexes.end());
            return indexes;
        };
        bar->Open();
        bar->ScopeBox()->setCurrentIndex(1);
        QSignalSpy changed(bar, &CFilterBar::Changed);
        bar->NameField()->setText("jpg");
        QVERIFY(changed.wait(2000));
        const auto jpegs =
            FilterCatalogue(Session().GetCatalogue(), bar->Filter(), Session().MadeConditions());
        QCOMPARE(jpegs.size(), std::size_t{4});
        QCOMPARE(shownIndexes(), jpegs);
        bar->DeletedBox()->setChecked(true);
        QCOMPARE(shownIndexes(), FilterCatalogue(Session().GetCatalogue(), bar->Filter(),
                                                 Session().MadeConditions()));
        QCOMPARE(shownIndexes().size(), std::size_t{2});
        SaveShot(Frame(), "filter-bar");

        // In one folder: its rows that pass, and the path names the folder.
        bar->DeletedBox()->setChecked(false);
        bar->ScopeBox()->setCurrentIndex(0);
        Frame()->LeftView()->setCurrentIndex(
            TreeItemAt(Frame()->LeftView(), {"Photos", "Holiday 2019"}));
        std::vector<std::size_t> inFolder;
        const CheckTree& tree = Session().Checks();
        for (const std::size_t position : tree.Rows(model->Folder())) {
            const std::size_t index = tree.Placed()[position].catalogueIndex;
            if (EntryPasses(Session().GetCatalogue(), index, bar->Filter(), nullptr))
                inFolder.push_back(index);
        }
        std::sort(inFolder.begin(), inFolder.end());
        QCOMPARE(shownIndexes(), inFolder);
        QCOMPARE(shownIndexes().size(), std::size_t{2});
        QCOMPARE(Tools()->Breadcrumbs()->Names(), (QStringList{"Root", "Photos", "Holiday 2019"}));
        bar->Close();
        QCOMPARE(model->rowCount(), 2);  // the folder holds just the two pictures
        bar->Open();
        bar->NameField()->setText("zzz-nothing");
        QVERIFY(changed.wait(2000));
        QCOMPARE(model->rowCount(), 0);
        bar->Close();
    }
};

TARVIK_GUI_TEST_MAIN(LookBeforeRecoverTest)
#include "look_before_recover_test.moc"
