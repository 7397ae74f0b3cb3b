#pragma once
// The saving dialog's lines for the whole recovery: a bar over all the bytes to write
// and a line with the files and bytes done of the total, the rate and about how long
// is left, read from the writer's tally twice a second.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

#include "recovery/recovery_tally.h"

class QLabel;
class QProgressBar;

namespace tarvik {

struct TallyFigures {
    bool planned = false;
    std::uint64_t filesDone = 0;
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
};

// "3 of 40 files, 1.2 MB of 8.0 MB, 2.0 MB/s, about 3 s left". The rate and the time
// left wait for a second of work and for some bytes written.
QString OverallProgressText(const TallyFigures& figures, qint64 elapsedMs);
// The part done, 0 to 1000: by bytes, or by files when the files hold no bytes.
int OverallPermille(const TallyFigures& figures);

class COverallProgress final : public QObject {
    Q_OBJECT
  public:
    COverallProgress(const RecoveryTally& tally, QProgressBar* bar, QLabel* label, QObject* parent);
    // Reads the tally now (also done by the timer).
    void Refresh();

  private:
    const RecoveryTally& tally_;
    QPointer<QProgressBar> bar_;
    QPointer<QLabel> label_;
    QElapsedTimer clock_;  // runs from when the totals are known
};

}  // namespace tarvik
