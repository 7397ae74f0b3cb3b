#pragma once
// A line under a progress bar that a person can plan with: how far the work is, how
// long it has run and about how long it has left, from the bar's own fraction.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;

namespace tarvik {

// A time as a person reads it ("2 min 5 s").
QString DurationText(qint64 seconds);

// "42% done, 1 min 10 s so far, about 1 min 37 s left"; no guess of the time left
// before 1% or a second of work has passed.
QString TimeLeftText(double fraction, qint64 elapsedMs);

// Refreshes `label` from `bar` twice a second for as long as both exist. Work in phases
// that each fill the bar anew (a scan) is timed from the start of the phase shown: the
// clock starts again when the bar's range changes or its position goes back.
class CTimeLeft final : public QObject {
    Q_OBJECT
  public:
    CTimeLeft(QProgressBar* bar, QLabel* label, QObject* parent);

  private:
    void Refresh();

    QPointer<QProgressBar> bar_;
    QPointer<QLabel> label_;
    QElapsedTimer clock_;
    int lastMinimum_ = 0;
    int lastMaximum_ = 0;
    int lastValue_ = 0;
};

}  // namespace tarvik
