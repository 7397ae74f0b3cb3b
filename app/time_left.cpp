#include "app/time_left.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <cmath>

namespace tarvik {

namespace {

constexpr int kRefreshMs = 500;

}  // namespace

QString DurationText(qint64 seconds) {
    if (seconds < 60) return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600) return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60);
}

QString TimeLeftText(double fraction, qint64 elapsedMs) {
    if (!(fraction >= 0)) fraction = 0;  // NaN too
    fraction = std::min(fraction, 1.0);
    const qint64 elapsed = elapsedMs / 1000;
    QString text = QStringLiteral("%1% done, %2 so far")
                       .arg(static_cast<int>(std::floor(fraction * 100)))
                       .arg(DurationText(elapsed));
    if (fraction >= 0.01 && elapsedMs >= 1000 && fraction < 1) {
        const double left = static_cast<double>(elapsedMs) * (1 - fraction) / fraction / 1000;
        text += QStringLiteral(", about %1 left").arg(DurationText(std::llround(left)));
    }
    return text;
}

CTimeLeft::CTimeLeft(QProgressBar* bar, QLabel* label, QObject* parent)
    : QObject(parent), bar_(bar), label_(label) {
    if (bar_) {
        lastMinimum_ = bar_->minimum();
        lastMaximum_ = bar_->maximum();
        lastValue_ = bar_->value();
    }
    clock_.start();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CTimeLeft::Refresh);
    timer->start(kRefreshMs);
    Refresh();
}

void CTimeLeft::Refresh() {
    if (!bar_ || !label_) return;
    if (bar_->minimum() != lastMinimum_ || bar_->maximum() != lastMaximum_ ||
        bar_->value() < lastValue_)
        clock_.restart();
    lastMinimum_ = bar_->minimum();
    lastMaximum_ = bar_->maximum();
    lastValue_ = bar_->value();
    const int span = bar_->maximum() - bar_->minimum();
    const double fraction = span > 0 ? double(bar_->value() - bar_->minimum()) / span : 0;
    label_->setText(TimeLeftText(fraction, clock_.elapsed()));
}

}  // namespace tarvik
