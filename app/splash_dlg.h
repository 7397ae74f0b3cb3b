#pragma once
// The splash screen shown while the program starts, and the thread that ends it.
#include <QDialog>
#include <QPointer>
#include <QThread>
#include <condition_variable>
#include <mutex>

namespace tarvik {

// Sleeps for the splash time, then asks the splash dialog to close. The request is a
// signal: once the dialog has gone (closed early with Escape or Enter) it has no
// receiver and reaches no window. Deletes itself when done.
class CSplashScreenThread : public QThread {
    Q_OBJECT
  public:
    explicit CSplashScreenThread(int milliseconds, QObject* parent = nullptr);
    // Ends the sleep at once without a close request (only for the program's end).
    void Stop();

  signals:
    void CloseRequest();

  protected:
    void run() override;

  private:
    int milliseconds_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
};

// Dialog 180: a captionless picture shown modally until the thread's close request,
// Escape or Enter.
class CSplashDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CSplashDlg(int milliseconds, QWidget* parent = nullptr);
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int milliseconds_;
    QPointer<CSplashScreenThread> thread_;  // deletes itself when done
    bool started_ = false;
};

}  // namespace tarvik
