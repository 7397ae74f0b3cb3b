#pragma once
// How a worker thread's progress and messages reach the user-interface thread. The core
// reports through ProgressSink and Notifier from whatever thread runs it; these relays
// turn the calls into widget updates and message boxes on the user-interface thread.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/reporting.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace tarvik {

// Shows a message box without owner (OK button) on the calling thread, which must be
// the user-interface thread.
void ShowNotice(const std::string& text, const std::string& caption, NoticeIcon icon);

// A Notifier for code running on the user-interface thread.
class CNoticeBox final : public Notifier {
  public:
    void Notify(const std::string& text, const std::string& caption, NoticeIcon icon) override {
        ShowNotice(text, caption, icon);
    }
};

// Progress from a worker to a dialog's progress bar and text controls. Every call is
// recorded under a lock; the user-interface thread applies the latest state at most
// once per kMinRepaintMs, so a per-record stream of updates costs the worker a lock and
// an assignment, not a repaint. Within an update the range is applied before the
// position, and each text control shows the last text its slot was given.
class CProgressRelay final : public QObject, public ProgressSink {
    Q_OBJECT
  public:
    static constexpr int kMinRepaintMs = 30;

    explicit CProgressRelay(QObject* parent = nullptr);

    // Where the updates land; set on the user-interface thread before the worker starts.
    void SetBar(QProgressBar* bar);
    void SetLabel(int slot, QLabel* label);

    void SetWorkSize(const WorkSize& size) override;
    void SetText(int slot, const std::string& text) override;
    void SetRange(std::uint64_t low, std::uint64_t high) override;
    void SetPosition(std::uint64_t position) override;
    void SetStep(std::uint64_t step) override;
    void StepIt() override;

    // Applies whatever is pending now (user-interface thread); the dialog calls it once
    // more when the worker has ended, so the last counts are the ones shown.
    void Flush();
    // How many times updates were applied to the widgets.
    int ApplyCount() const { return applyCount_; }
    // The size of the whole operation, once it was told (any thread).
    WorkSize Size() const { return {sizeRecords_.load(), sizeBytes_.load()}; }

  private:
    struct State {
        std::uint64_t low = 0;
        std::uint64_t high = 100;
        std::uint64_t position = 0;
        std::uint64_t step = 10;
        bool barChanged = false;
        std::map<int, std::string> texts;  // changed since the last apply
    };

    // Under the lock: asks the user-interface thread for an apply unless one is asked.
    void ScheduleLocked();
    void OnApplyDue();
    void Apply();

    std::mutex mutex_;
    State pending_;
    std::atomic<std::uint64_t> sizeRecords_{0};
    std::atomic<std::uint64_t> sizeBytes_{0};
    bool applyQueued_ = false;

    // User-interface thread only.
    QPointer<QProgressBar> bar_;
    std::map<int, QPointer<QLabel>> labels_;
    QElapsedTimer sinceApply_;
    bool timerArmed_ = false;
    int applyCount_ = 0;
};

// Messages from a worker: each is shown as a message box on the user-interface thread
// while the worker waits for its OK. Once a stop has been requested (the program is
// closing) messages go to stderr instead, so a closing program never waits on a box.
class CWorkerNoticeRelay final : public QObject, public Notifier {
    Q_OBJECT
  public:
    explicit CWorkerNoticeRelay(QObject* parent = nullptr) : QObject(parent) {}
    // The stop request of the worker whose messages pass here.
    void SetStop(const StopFlag* stop) { stop_ = stop; }
    void Notify(const std::string& text, const std::string& caption, NoticeIcon icon) override;

  private:
    const StopFlag* stop_ = nullptr;
};

// Messages kept while a worker runs, shown in order once its dialog has closed.
class CDeferredNotices final : public Notifier {
  public:
    void Notify(const std::string& text, const std::string& caption, NoticeIcon icon) override;
    // Shows every kept message (user-interface thread) and forgets them.
    void ShowAll();

  private:
    struct Notice {
        std::string text;
        std::string caption;
        NoticeIcon icon;
    };
    std::mutex mutex_;
    std::vector<Notice> notices_;
};

}  // namespace tarvik
