#include "app/recover/overall_progress.h"
#include "app/size_text.h"
#include "app/time_left.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace tarvik {

namespace {

constexpr int kRefreshMs = 500;

}  // namespace

QString OverallProgressText(const TallyFigures& figures, qint64 elapsedMs) {
    if (!figures.planned) return QStringLiteral("Counting the files to write...");
    const std::uint64_t files = std::min(figures.filesDone, figures.filesTotal);
    const std::uint64_t bytes = std::min(figures.bytesDone, figures.bytesTotal);
    QString text = QStringLiteral("%1 of %2 files, %3 of %4")
                       .arg(QLocale().toString(qulonglong{files}),
                            QLocale().toString(qulonglong{figures.filesTotal}), SizeText(bytes),
                            SizeText(figures.bytesTotal));
    if (elapsedMs < 1000 || bytes == 0) return text;
    const double rate = static_cast<double>(bytes) * 1000.0 / static_cast<double>(elapsedMs);
    text += QStringLiteral(", %1/s").arg(SizeText(static_cast<std::uint64_t>(rate)));
    if (bytes < figures.bytesTotal) {
        const double left = static_cast<double>(figures.bytesTotal - bytes) / rate;
        text += QStringLiteral(", about %1 left").arg(DurationText(std::llround(left)));
    }
    return text;
}

int OverallPermille(const TallyFigures& figures) {
    if (!figures.planned) return 0;
    const auto part = [](std::uint64_t done, std::uint64_t total) {
        return static_cast<int>(static_cast<long double>(std::min(done, total)) * 1000 / total);
    };
    if (figures.bytesTotal > 0) return part(figures.bytesDone, figures.bytesTotal);
    if (figures.filesTotal > 0) return part(figures.filesDone, figures.filesTotal);
    return 1000;
}

COverallProgress::COverallProgress(const RecoveryTally& tally, QProgressBar* bar, QLabel* label,
                                   QObject* parent)
    : QObject(parent), tally_(tally), bar_(bar), label_(label) {
    if (bar_) bar_->setRange(0, 1000);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &COverallProgress::Refresh);
    timer->start(kRefreshMs);
    Refresh();
}

void COverallProgress::Refresh() {
    TallyFigures figures;
    figures.planned = tally_.planned.load();
    if (figures.planned) {
        figures.filesTotal = tally_.filesTotal.load();
        figures.bytesTotal = tally_.bytesTotal.load();
        figures.filesDone = tally_.filesDone.load();
        figures.bytesDone = tally_.bytesDone.load();
        if (!clock_.isValid()) clock_.start();
    }
    const qint64 elapsed = clock_.isValid() ? clock_.elapsed() : 0;
    if (bar_) bar_->setValue(OverallPermille(figures));
    if (label_) label_->setText(OverallProgressText(figures, elapsed));
}

}  // namespace tarvik
