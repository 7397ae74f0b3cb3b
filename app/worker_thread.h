#pragma once
// The base of the workers that run a long core call behind a modal dialog: the stop
// request the call tests between reads, and an end that keeps the user-interface thread
// serving the worker's queued updates and messages while it waits.
#include <QThread>
#include <atomic>
#include <functional>
#include <string>

#include "common/reporting.h"

namespace tarvik {

class CWorkerThread : public QThread {
    Q_OBJECT
  public:
    explicit CWorkerThread(QObject* parent = nullptr);
    ~CWorkerThread() override;

    const StopFlag* Stop() const { return &stop_; }
    void RequestStop() { stop_.store(true); }
    bool StopRequested() const { return stop_.load(); }
    // Whether the core call ended on an error it did not answer itself (reported, and
    // the work counts as stopped); what it said.
    bool Failed() const { return failed_.load(); }

    // Waits until run() has returned, handling the events of the user-interface thread
    // meanwhile: a worker waiting for a message box or a progress update is never left
    // waiting on a thread that waits for it.
    void Join();

    // Requests a stop of every worker still running and joins them; the program's end
    // calls it before the session's drive goes away.
    static void StopAll();
    // Called as each worker is made, before it reads anything: whatever else reads the
    // drive in the background (the preview) stops there.
    static void SetBeforeWork(std::function<void()> hook);

  protected:
    // Runs a core call; a failed allocation ends the program after the memory message,
    // as no scan or search can go on without its tables. Any other error the call throws
    // is reported through the notifier and ends the work as a stop does: the program
    // goes on.
    void RunGuarded(Notifier& notifier, const std::function<void()>& work);

  private:
    void ReportFailure(Notifier& notifier, const std::string& what);

    StopFlag stop_{false};
    std::atomic<bool> failed_{false};
};

}  // namespace tarvik
