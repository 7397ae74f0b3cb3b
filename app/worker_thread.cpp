#include "app/worker_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <new>
#include <vector>

namespace tarvik {

namespace {

// The workers between construction and destruction; user-interface thread only.
std::vector<CWorkerThread*>& LiveWorkers() {
    static std::vector<CWorkerThread*> workers;
    return workers;
}

std::function<void()>& BeforeWork() {
    static std::function<void()> hook;
    return hook;
}

constexpr const char* kMemoryText = "Error Allocating Memory,Increase Virtual Memory";
constexpr const char* kUnexpectedErrorText =
    "The work stopped on an unexpected error; what it did until then is kept: ";

}  // namespace

CWorkerThread::CWorkerThread(QObject* parent) : QThread(parent) {
    LiveWorkers().push_back(this);
    if (BeforeWork()) BeforeWork()();
}

void CWorkerThread::SetBeforeWork(std::function<void()> hook) {
    BeforeWork() = std::move(hook);
}

CWorkerThread::~CWorkerThread() {
    // A worker is never destroyed while it runs: its objects are about to go.
    if (isRunning()) {
        RequestStop();
        Join();
    }
    auto& workers = LiveWorkers();
    workers.erase(std::remove(workers.begin(), workers.end(), this), workers.end());
}

void CWorkerThread::Join() {
    while (!wait(10)) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void CWorkerThread::StopAll() {
    const std::vector<CWorkerThread*> workers = LiveWorkers();
    for (CWorkerThread* worker : workers) worker->RequestStop();
    for (CWorkerThread* worker : workers) {
        // Joining one may end and destroy another (its dialog closes); skip the gone.
        const auto& live = LiveWorkers();
        if (std::find(live.begin(), live.end(), worker) != live.end()) worker->Join();
    }
}

void CWorkerThread::RunGuarded(Notifier& notifier, const std::function<void()>& work) {
    try {
        work();
    } catch (const std::bad_alloc&) {
        notifier.Notify(kMemoryText, kAppCaption, NoticeIcon::Error);
        std::_Exit(EXIT_FAILURE);
    } catch (const std::exception& error) {
        ReportFailure(notifier, error.what());
    } catch (...) {
        ReportFailure(notifier, "an error of unknown kind");
    }
}

void CWorkerThread::ReportFailure(Notifier& notifier, const std::string& what) {
    // Whoever waits for the work reads it as stopped: its result is not whole.
    failed_.store(true);
    stop_.store(true);
    try {
        notifier.Notify(kUnexpectedErrorText + what, kAppCaption, NoticeIcon::Error);
    } catch (...) {
        // The report itself failed: the stop above still ends the work.
    }
}

}  // namespace tarvik
