#pragma once
// The scanning dialog's line for the whole scan: the MFT records read of all of them,
// their bytes of the MFT's size, the rate and about how long is left over every phase,
// with a bar over the whole. Read from the scan's progress twice a second.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

#include "common/reporting.h"

class QLabel;
class QProgressBar;

namespace tarvik {

class CProgressRelay;

struct ScanFigures {
    WorkSize size;             // 0 records until the scan has found the MFT
    int phase = 0;             // 1 to 4 from the phase line, 0 before the first
    double phaseFraction = 0;  // how far the current phase's bar is, 0 to 1
};

// The part of the whole scan done, 0 to 1000. Reading the MFT is most of a scan's
// work; the later phases share the rest.
int ScanPermille(const ScanFigures& figures);
// "1,200 of 4,096 records, 1.2 MB of 4.0 MB, 2.0 MB/s, about 3 s left", the time left
// from `permille` of the scan done in `elapsedMs`. The rate and the time left wait for a second of
// work and for some records read.
QString ScanProgressText(const ScanFigures& figures, int permille, qint64 elapsedMs);
// The phase number of a phase line ("Phase 2 of 4: ..."), 0 for another line.
int PhaseNumber(const QString& line);

class CScanOverall final : public QObject {
    Q_OBJECT
  public:
    // `phaseBar` and `phaseLine` are the dialog's own; `bar` and `label` show the whole.
    CScanOverall(const CProgressRelay& relay, QProgressBar* phaseBar, QLabel* phaseLine,
                 QProgressBar* bar, QLabel* label, QObject* parent);
    // Reads the progress now (also done by the timer).
    void Refresh();

  private:
    const CProgressRelay& relay_;
    QPointer<QProgressBar> phaseBar_;
    QPointer<QLabel> phaseLine_;
    QPointer<QProgressBar> bar_;
    QPointer<QLabel> label_;
    QElapsedTimer clock_;
    int permille_ = 0;  // never moves back
};

}  // namespace tarvik
