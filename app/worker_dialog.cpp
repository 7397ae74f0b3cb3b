#include "app/worker_dialog.h"

#include <QCloseEvent>
#include <QPushButton>

#include "app/busy_key_filter.h"
#include "app/worker_reporting.h"

namespace tarvik {

CWorkerDialog::CWorkerDialog(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags),
      relay_(std::make_unique<CProgressRelay>()),
      notices_(std::make_unique<CWorkerNoticeRelay>()) {}

CWorkerDialog::~CWorkerDialog() {
    // The worker holds references to the relays: it ends before they go.
    EndWorker();
}

void CWorkerDialog::Adopt(std::unique_ptr<CWorkerThread> worker) {
    worker_ = std::move(worker);
    notices_->SetStop(worker_->Stop());
    connect(worker_.get(), &QThread::finished, this, &CWorkerDialog::OnWorkerFinished,
            Qt::QueuedConnection);
}

void CWorkerDialog::GuardKeys(const char* warning, bool escapeStops) {
    keys_ = new CBusyKeyFilter(this, warning);
    if (escapeStops) keys_->SetEscapeAction([this] { StopWorker(); });
}

void CWorkerDialog::SetStopButton(QPushButton* button, bool disableOnStop) {
    stopButton_ = button;
    disableOnStop_ = disableOnStop;
    connect(button, &QPushButton::clicked, this, &CWorkerDialog::StopWorker);
}

void CWorkerDialog::RunWorker(StartAt start) {
    finished_ = false;
    if (start == StartAt::kNow)
        worker_->start();
    else
        QMetaObject::invokeMethod(
            this, [this] { worker_->start(); }, Qt::QueuedConnection);
    exec();
    // After the worker's end only the thread's own wind-down is left: a stop asked for
    // now would read as a stop the user made.
    if (finished_)
        worker_->wait();
    else
        EndWorker();
    relay_->Flush();
}

void CWorkerDialog::StopWorker() {
    // The core looks at the request between reads; the worker's end closes the dialog.
    worker_->RequestStop();
    if (stopButton_ && disableOnStop_) stopButton_->setEnabled(false);
}

void CWorkerDialog::EndWorker() {
    if (!worker_ || !worker_->isRunning()) return;
    worker_->RequestStop();
    worker_->Join();
}

void CWorkerDialog::OnWorkerFinished() {
    finished_ = true;
    relay_->Flush();
    // The worker's last act: the dialog ends as a close request ends it.
    reject();
}

void CWorkerDialog::closeEvent(QCloseEvent* event) {
    if (finished_ || !keys_) {
        QDialog::closeEvent(event);
        return;
    }
    keys_->RefuseClose(event);
}

}  // namespace tarvik
