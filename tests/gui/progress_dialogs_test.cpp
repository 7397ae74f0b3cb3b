// The progress dialogs of the scan and the drive search: progress from a worker thread
// reaching the controls coalesced and in order, the first look of each dialog, and the
// keys that must neither end nor interrupt a running operation.
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <thread>

#include "app/busy_key_filter.h"
#include "app/control_id.h"
#include "app/disks/search_drives_dlg.h"
#include "app/scan/scanning_dlg.h"
#include "app/worker_reporting.h"
#include "common/progress_slot.h"
#include "gui_test_main.h"
#include "modal_script.h"
#include "session/recovery_session.h"

using namespace tarvik;

class ProgressDialogsTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }

  private slots:
    void workerProgressIsCoalescedAndKeepsItsOrder() {
        QProgressBar bar;
        QLabel counter, phase;
        CProgressRelay relay;
        relay.SetBar(&bar);
        relay.SetLabel(kSlotNormalFiles, &counter);
        relay.SetLabel(kSlotPhase, &phase);
        constexpr int kSteps = 400000;
        std::atomic<bool> done{false};
        QElapsedTimer clock;
        clock.start();
        std::thread worker([&] {
            relay.SetText(kSlotPhase, "Phase 1 of 4");
            relay.SetRange(0, kSteps);
            relay.SetPosition(0);
            relay.SetStep(1);
            for (int i = 1; i <= kSteps; ++i) {
                relay.StepIt();
                if (i % 100 == 0) relay.SetText(kSlotNormalFiles, std::to_string(i));
            }
            // A new phase right after: its range comes before its position.
            relay.SetText(kSlotPhase, "Phase 4 of 4");
            relay.SetRange(0, 10);
            relay.SetPosition(0);
            relay.StepIt();
            relay.StepIt();
            relay.StepIt();
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 20000);
        worker.join();
        QTRY_COMPARE(bar.maximum(), 10);
        QCOMPARE(bar.value(), 3);
        QCOMPARE(counter.text(), QString::number(kSteps));
        QCOMPARE(phase.text(), QString("Phase 4 of 4"));
        // At most one apply per 30 ms, plus the one that may start at once.
        const qint64 limit = clock.elapsed() / CProgressRelay::kMinRepaintMs + 2;
        QVERIFY2(relay.ApplyCount() <= limit,
                 qPrintable(
                     QString("%1 applies in %2 ms").arg(relay.ApplyCount()).arg(clock.elapsed())));
        QVERIFY(relay.ApplyCount() >= 1);
    }

    void aRangePast32BitsIsShownInProportionAndAStepPastTheEndStartsOver() {
        QProgressBar bar;
        CProgressRelay relay;
        relay.SetBar(&bar);
        relay.SetRange(0, std::uint64_t{1} << 40);
        relay.SetPosition(std::uint64_t{1} << 39);
        relay.Flush();
        QVERIFY(bar.maximum() > 0);
        QCOMPARE(bar.value() * 2, bar.maximum());

        relay.SetRange(0, 4);
        relay.SetStep(3);
        relay.SetPosition(3);
        relay.StepIt();  // 6 is past 4: the bar starts over at 2
        relay.Flush();
        QCOMPARE(bar.maximum(), 4);
        QCOMPARE(bar.value(), 2);
    }

    void busyDialogsStopOnEscapeSwallowEnterAndWarnOnFunctionKeys() {
        RecoverySession& session = *App().Session;
        CScanningDlg scanning(session, false);
        CSearchLogDrivesDlg search(session, 0);
        QCOMPARE(search.windowTitle(), QString("Searching NTFS Logical Drives"));
        for (int id : {IDC_SEARCH_SECTOR, IDC_SEARCH_TOTAL, IDC_SEARCH_FOUND})
            QCOMPARE(FindControl<QLabel>(&search, id)->text(), QString("0"));
        SaveShot(&search, "search_drives_dlg");

        const std::pair<QDialog*, QString> cases[] = {
            {&scanning, "!Warning: Stop Current Operation Before Closing Miravel NTFS"},
            {&search, "!Warning: Stop Current Operation Before Closing Miravel NTFS"}};
        QVERIFY(!scanning.Worker()->StopRequested());
        for (const auto& [dialog, warning] : cases) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QTest::keyClick(dialog, Qt::Key_Return);
            QVERIFY(dialog->isVisible());
            // Escape asks the work to stop; the dialog stays until the worker has ended.
            QTest::keyClick(dialog, Qt::Key_Escape);
            QVERIFY(dialog->isVisible());

            QStringList notices;
            ModalScript script;
            script.ThenNotice(&notices).ThenNotice(&notices);
            QTest::keyClick(dialog, Qt::Key_F5);
            QTest::keyClick(dialog, Qt::Key_F4, Qt::AltModifier);
            QVERIFY(dialog->isVisible());
            QCOMPARE(notices, QStringList({warning, warning}));
            // A close request of the program's own (not the user's) is refused quietly.
            dialog->close();
            QVERIFY(dialog->isVisible());
            dialog->hide();
        }
        QVERIFY(scanning.Worker()->StopRequested());
    }
};

TARVIK_GUI_TEST_MAIN(ProgressDialogsTest)
#include "progress_dialogs_test.moc"
