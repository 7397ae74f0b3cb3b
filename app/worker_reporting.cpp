#include "app/worker_reporting.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdio>

namespace tarvik {

namespace {

QMessageBox::Icon BoxIcon(NoticeIcon icon) {
    switch (icon) {
        case NoticeIcon::Warning:
            return QMessageBox::Warning;
        case NoticeIcon::Error:
            return QMessageBox::Critical;
        default:
            return QMessageBox::Information;
    }
}

bool OnUiThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

// A 64-bit range shown on the bar's int scale: halved until it fits.
int Shift(std::uint64_t span) {
    int shift = 0;
    while ((span >> shift) > static_cast<std::uint64_t>(INT_MAX)) ++shift;
    return shift;
}

}  // namespace

void ShowNotice(const std::string& text, const std::string& caption, NoticeIcon icon) {
    QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

// ---- CProgressRelay

CProgressRelay::CProgressRelay(QObject* parent) : QObject(parent) {
    sinceApply_.start();
}

void CProgressRelay::SetBar(QProgressBar* bar) {
    bar_ = bar;
}

void CProgressRelay::SetLabel(int slot, QLabel* label) {
    labels_[slot] = label;
}

void CProgressRelay::SetText(int slot, const std::string& text) {
    std::lock_guard lock(mutex_);
    pending_.texts[slot] = text;
    ScheduleLocked();
}

void CProgressRelay::SetWorkSize(const WorkSize& size) {
    sizeBytes_.store(size.bytes);
    sizeRecords_.store(size.records);
}

void CProgressRelay::SetRange(std::uint64_t low, std::uint64_t high) {
    std::lock_guard lock(mutex_);
    pending_.low = low;
    pending_.high = high;
    pending_.position = std::clamp(pending_.position, low, std::max(low, high));
    pending_.barChanged = true;
    ScheduleLocked();
}

void CProgressRelay::SetPosition(std::uint64_t position) {
    std::lock_guard lock(mutex_);
    pending_.position = position;
    pending_.barChanged = true;
    ScheduleLocked();
}

void CProgressRelay::SetStep(std::uint64_t step) {
    std::lock_guard lock(mutex_);
    pending_.step = step;
}

void CProgressRelay::StepIt() {
    std::lock_guard lock(mutex_);
    pending_.position += pending_.step;
    // A bar stepped past its end starts again from its beginning.
    if (pending_.position > pending_.high)
        pending_.position = pending_.low + (pending_.position - pending_.high);
    pending_.barChanged = true;
    ScheduleLocked();
}

void CProgressRelay::ScheduleLocked() {
    if (applyQueued_) return;
    applyQueued_ = true;
    QMetaObject::invokeMethod(this, &CProgressRelay::OnApplyDue, Qt::QueuedConnection);
}

void CProgressRelay::OnApplyDue() {
    if (timerArmed_) return;
    const qint64 waited = sinceApply_.elapsed();
    if (waited >= kMinRepaintMs) {
        Apply();
        return;
    }
    timerArmed_ = true;
    QTimer::singleShot(static_cast<int>(kMinRepaintMs - waited), this, [this] {
        timerArmed_ = false;
        Apply();
    });
}

void CProgressRelay::Flush() {
    Apply();
}

void CProgressRelay::Apply() {
    State state;
    {
        std::lock_guard lock(mutex_);
        state = pending_;
        pending_.texts.clear();
        pending_.barChanged = false;
        applyQueued_ = false;
    }
    if (state.barChanged && bar_) {
        const std::uint64_t span = state.high > state.low ? state.high - state.low : 0;
        const int shift = Shift(span);
        const std::uint64_t done =
            state.position > state.low ? std::min(state.position - state.low, span) : 0;
        bar_->setRange(0, static_cast<int>(span >> shift));
        bar_->setValue(static_cast<int>(done >> shift));
    }
    for (const auto& [slot, text] : state.texts) {
        const auto label = labels_.find(slot);
        if (label != labels_.end() && label->second)
            label->second->setText(QString::fromStdString(text));
    }
    ++applyCount_;
    sinceApply_.restart();
}

// ---- CWorkerNoticeRelay

void CWorkerNoticeRelay::Notify(const std::string& text, const std::string& caption,
                                NoticeIcon icon) {
    if (OnUiThread()) {
        ShowNotice(text, caption, icon);
        return;
    }
    if (stop_ && stop_->load()) {
        std::fprintf(stderr, "tarvik: %s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    QMetaObject::invokeMethod(
        this, [&text, &caption, icon] { ShowNotice(text, caption, icon); },
        Qt::BlockingQueuedConnection);
}

// ---- CDeferredNotices

void CDeferredNotices::Notify(const std::string& text, const std::string& caption,
                              NoticeIcon icon) {
    std::lock_guard lock(mutex_);
    notices_.push_back({text, caption, icon});
}

void CDeferredNotices::ShowAll() {
    std::vector<Notice> notices;
    {
        std::lock_guard lock(mutex_);
        notices.swap(notices_);
    }
    for (const Notice& notice : notices) ShowNotice(notice.text, notice.caption, notice.icon);
}

}  // namespace tarvik
