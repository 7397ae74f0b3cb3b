// The scanning dialog's line for the whole scan: records and bytes read of the MFT's,
// the rate and the time left over every phase, and the figures a real scan leaves.
#include <QLabel>
#include <QLocale>
#include <QProgressBar>

#include "app/scan/scan_overall.h"
#include "app/scan/scanning_dlg.h"
#include "app/worker_reporting.h"
#include "gui_test_main.h"
#include "sample_drive.h"
#include "scan/scan_texts.h"

using namespace tarvik;
using namespace tarvik::testing;

class ScanProgressTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void theWholeScanIsWeighedAcrossThePhases() {
        QCOMPARE(PhaseNumber(kPhase1Mft), 1);
        QCOMPARE(PhaseNumber(kPhase3), 3);
        QCOMPARE(PhaseNumber(kPhase4), 4);
        QCOMPARE(PhaseNumber("Weighing conditions"), 0);

        ScanFigures figures;
        QCOMPARE(ScanPermille(figures), 0);
        QCOMPARE(ScanProgressText(figures, 0, 5000), QString("Finding the MFT..."));

        // Half the MFT read in 2 s: half of phase 1, the bytes in proportion.
        figures.size = {4096, 4096 * 1024};
        figures.phase = 1;
        figures.phaseFraction = 0.5;
        const int half = ScanPermille(figures);
        QVERIFY(half > 0 && half < 500);
        QCOMPARE(ScanProgressText(figures, half, 500),
                 QString("2048 of 4096 records, 2.0 MB of 4.0 MB"));
        const QString later = ScanProgressText(figures, half, 2000);
        QVERIFY2(later.startsWith("2048 of 4096 records, 2.0 MB of 4.0 MB, 1.0 MB/s, about "),
                 qPrintable(later));
        QVERIFY2(later.endsWith(" s left"), qPrintable(later));

        // A later phase: every record was read; the bar only moves on.
        figures.phase = 3;
        figures.phaseFraction = 0.1;
        QVERIFY(ScanPermille(figures) > ScanPermille({figures.size, 1, 1.0}));
        QVERIFY(ScanProgressText(figures, ScanPermille(figures), 9000)
                    .startsWith("4096 of 4096 records, 4.0 MB of 4.0 MB, about "));
        figures.phase = 4;
        figures.phaseFraction = 1.0;
        QCOMPARE(ScanPermille(figures), 1000);
        QCOMPARE(ScanProgressText(figures, 1000, 9000),
                 QString("4096 of 4096 records, 4.0 MB of 4.0 MB"));
    }

    // The dialog's own line and bar follow what the worker reports, before any scan.
    void theDialogShowsTheWholeScanAsReported() {
        CScanningDlg dialog(*App().Session, false);
        auto* overall = dialog.findChild<QProgressBar*>("overall");
        auto* text = dialog.findChild<QLabel*>("overallText");
        auto* reader = dialog.findChild<CScanOverall*>();
        QVERIFY(overall && text && reader);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.Progress().SetWorkSize({1'000'000, 1'000'000ULL * 1024});
        dialog.Progress().SetText(kSlotPhase, kPhase1Mft);
        dialog.Progress().SetRange(0, 999'999);
        dialog.Progress().SetPosition(250'000);
        dialog.Progress().Flush();
        reader->Refresh();
        QVERIFY2(text->text().startsWith("250000 of 1000000 records, 244.1 MB of 976.6 MB"),
                 qPrintable(text->text()));
        const int quarter = overall->value();
        QVERIFY(quarter > 0 && quarter < 250);
        QTest::qWait(1100);
        reader->Refresh();
        QVERIFY2(text->text().contains("/s, about "), qPrintable(text->text()));
        SaveShot(&dialog, "scanning_dlg_overall");

        // The condition check moves the bar again under the last phase's line: the
        // whole does not go back.
        dialog.Progress().SetText(kSlotPhase, kPhase4);
        dialog.Progress().SetRange(0, 100);
        dialog.Progress().SetPosition(100);
        dialog.Progress().Flush();
        reader->Refresh();
        QCOMPARE(overall->value(), 1000);
        dialog.Progress().SetPosition(10);
        dialog.Progress().Flush();
        reader->Refresh();
        QCOMPARE(overall->value(), 1000);
        dialog.hide();
    }

    // A real scan reports the MFT's size: every record is read by the end.
    void aScanReadsEveryRecordOfTheMft() {
        if (!std::filesystem::exists(Fixture("sample-disk.img"))) QSKIP("sample-disk.img not made");
        RecoverySession& session = *App().Session;
        NullProgressSink quiet;
        QuietNotifier notifier;
        QVERIFY(!session.LoadDisks({Fixture("sample-disk.img")}, false));
        QVERIFY(session.FindDrives(0, DriveDiscovery::kPartitionTableOnly, quiet, notifier));
        QCOMPARE(session.OpenDrive(0, notifier), DriveOpening::kOpened);
        CScanningDlg dialog(session, false);
        QVERIFY(dialog.Run());
        const WorkSize size = dialog.Progress().Size();
        QVERIFY(size.records >= 16);
        QCOMPARE(size.bytes, size.records * 1024);
        dialog.findChild<CScanOverall*>()->Refresh();
        const QString records = QString::number(size.records);
        const QString text = dialog.findChild<QLabel*>("overallText")->text();
        QVERIFY2(text.startsWith(records + " of " + records + " records"), qPrintable(text));
        QVERIFY(dialog.findChild<QProgressBar*>("overall")->value() >= 900);
    }
};

TARVIK_GUI_TEST_MAIN(ScanProgressTest)
#include "scan_progress_test.moc"
