#include "app/scan/scan_overall.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cmath>

#include "app/size_text.h"
#include "app/time_left.h"
#include "app/worker_reporting.h"

namespace tarvik {

namespace {

constexpr int kRefreshMs = 500;
// Where each phase starts and the whole ends, in thousandths of the scan.
constexpr std::array<int, 5> kPhaseStarts = {0, 700, 800, 900, 1000};

std::uint64_t RecordsRead(const ScanFigures& f) {
    if (f.phase > 1) return f.size.records;
    if (f.phase < 1) return 0;
    const double read = std::clamp(f.phaseFraction, 0.0, 1.0) * static_cast<double>(f.size.records);
    return std::min(f.size.records, static_cast<std::uint64_t>(std::llround(read)));
}

std::uint64_t BytesRead(const ScanFigures& f, std::uint64_t records) {
    if (f.size.records == 0) return 0;
    const long double part = static_cast<long double>(records) / f.size.records;
    return static_cast<std::uint64_t>(part * f.size.bytes);
}

}  // namespace

int PhaseNumber(const QString& line) {
    static const QRegularExpression pattern(QStringLiteral("^Phase ([1-4]) of 4"));
    const auto match = pattern.match(line);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

int ScanPermille(const ScanFigures& f) {
    if (f.phase < 1) return 0;
    const auto phase = static_cast<std::size_t>(std::min(f.phase, 4));
    const int span = kPhaseStarts[phase] - kPhaseStarts[phase - 1];
    const double within = std::clamp(f.phaseFraction, 0.0, 1.0) * span;
    return kPhaseStarts[phase - 1] + static_cast<int>(within);
}

QString ScanProgressText(const ScanFigures& f, int permille, qint64 elapsedMs) {
    if (f.size.records == 0) return QStringLiteral("Finding the MFT...");
    const std::uint64_t records = RecordsRead(f);
    const std::uint64_t bytes = BytesRead(f, records);
    QString text = QStringLiteral("%1 of %2 records, %3 of %4")
                       .arg(QLocale().toString(qulonglong{records}),
                            QLocale().toString(qulonglong{f.size.records}), SizeText(bytes),
                            SizeText(f.size.bytes));
    if (elapsedMs < 1000 || records == 0) return text;
    if (f.phase == 1) {
        const double rate = static_cast<double>(bytes) * 1000.0 / static_cast<double>(elapsedMs);
        text += QStringLiteral(", %1/s").arg(SizeText(static_cast<std::uint64_t>(rate)));
    }
    if (permille > 0 && permille < 1000) {
        const double left = static_cast<double>(elapsedMs) * (1000 - permille) / permille / 1000.0;
        text += QStringLiteral(", about %1 left").arg(DurationText(std::llround(left)));
    }
    return text;
}

CScanOverall::CScanOverall(const CProgressRelay& relay, QProgressBar* phaseBar, QLabel* phaseLine,
                           QProgressBar* bar, QLabel* label, QObject* parent)
    : QObject(parent),
      relay_(relay),
      phaseBar_(phaseBar),
      phaseLine_(phaseLine),
      bar_(bar),
      label_(label) {
    if (bar_) bar_->setRange(0, 1000);
    clock_.start();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CScanOverall::Refresh);
    timer->start(kRefreshMs);
    Refresh();
}

void CScanOverall::Refresh() {
    ScanFigures figures;
    figures.size = relay_.Size();
    if (phaseLine_) figures.phase = PhaseNumber(phaseLine_->text());
    if (phaseBar_ && phaseBar_->maximum() > phaseBar_->minimum())
        figures.phaseFraction = double(phaseBar_->value() - phaseBar_->minimum()) /
                                (phaseBar_->maximum() - phaseBar_->minimum());
    // The condition check after the last phase moves the bar again under its line: the
    // whole never goes back.
    permille_ = std::max(permille_, ScanPermille(figures));
    if (bar_) bar_->setValue(permille_);
    if (label_) label_->setText(ScanProgressText(figures, permille_, clock_.elapsed()));
}

}  // namespace tarvik
