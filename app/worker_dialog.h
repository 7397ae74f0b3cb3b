#pragma once
// The base of the dialogs that show a worker's long core call: it starts the worker,
// relays its progress and messages, stops it on Cancel (or Escape), refuses to close
// while it runs, and ends the modal loop when the worker ends. A dialog built on it
// lays out its own controls and makes its own worker.
#include <QDialog>
#include <memory>

#include "app/worker_thread.h"

class QCloseEvent;
class QPushButton;

namespace tarvik {

class CBusyKeyFilter;
class CProgressRelay;
class CWorkerNoticeRelay;

class CWorkerDialog : public QDialog {
    Q_OBJECT
  public:
    ~CWorkerDialog() override;

    CProgressRelay& Progress() const { return *relay_; }

  protected:
    // A window without a working close box: the dialog ends when its worker does.
    static constexpr Qt::WindowFlags kBusyDialogFlags =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

    explicit CWorkerDialog(QWidget* parent, Qt::WindowFlags flags = kBusyDialogFlags);

    // The messages of a worker, shown as they come (the worker waits for their OK).
    CWorkerNoticeRelay& Notices() const { return *notices_; }
    // Takes the worker; its end closes the dialog. Call once, from the constructor.
    void Adopt(std::unique_ptr<CWorkerThread> worker);
    CWorkerThread* Worker() const { return worker_.get(); }
    // Keys and close requests are answered with `warning` while the worker runs; Escape
    // stops the worker when `escapeStops`.
    void GuardKeys(const char* warning, bool escapeStops);
    // The button that stops the worker; disabled once pressed, when `disableOnStop`.
    void SetStopButton(QPushButton* button, bool disableOnStop);

    // Starts the worker (at once, or from the modal loop once the dialog is up) and
    // returns once it has ended. A loop that ends early (the program is quitting) asks
    // the worker to stop, and the session is not touched until it has.
    enum class StartAt { kNow, kInLoop };
    void RunWorker(StartAt start);
    // Asks the worker to stop; its end closes the dialog.
    void StopWorker();
    // Stops and joins the worker; a dialog whose worker reads its own members calls it
    // from its destructor, before they go.
    void EndWorker();
    bool WorkerFinished() const { return finished_; }

    void closeEvent(QCloseEvent* event) override;

  private:
    void OnWorkerFinished();

    std::unique_ptr<CProgressRelay> relay_;
    std::unique_ptr<CWorkerNoticeRelay> notices_;
    std::unique_ptr<CWorkerThread> worker_;
    CBusyKeyFilter* keys_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    bool disableOnStop_ = false;
    bool finished_ = false;
};

}  // namespace tarvik
