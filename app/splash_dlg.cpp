#include "app/splash_dlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <chrono>

#include "app/control_id.h"
#include "app/pictures.h"
#include "app/resource_ids.h"
#include "app/tarvik_app.h"

namespace tarvik {

CSplashScreenThread::CSplashScreenThread(int milliseconds, QObject* parent)
    : QThread(parent), milliseconds_(milliseconds) {}

void CSplashScreenThread::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

void CSplashScreenThread::run() {
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, std::chrono::milliseconds(milliseconds_), [this] { return stopped_; }))
        return;
    lock.unlock();
    emit CloseRequest();
}

CSplashDlg::CSplashDlg(int milliseconds, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), milliseconds_(milliseconds) {
    SetControlId(this, IDD_SPLASH);
    setWindowTitle(kProgramCaption);
    auto* picture = new QLabel(this);
    SetControlId(picture, IDC_SPLASH_PICTURE);
    picture->setPixmap(Picture(IDB_SPLASH));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(picture);
    setFixedSize(sizeHint());
}

void CSplashDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    thread_ = new CSplashScreenThread(milliseconds_);
    connect(thread_, &CSplashScreenThread::CloseRequest, this, &QDialog::reject,
            Qt::QueuedConnection);
    connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
    if (CTarvikApp* app = CTarvikApp::Instance()) app->SetSplashThread(thread_);
    thread_->start();
}

void CSplashDlg::keyPressEvent(QKeyEvent* event) {
    // Enter ends the splash like Escape does; a dialog without buttons would ignore it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSplashDlg::done(int result) {
    if (thread_) disconnect(thread_, &CSplashScreenThread::CloseRequest, this, nullptr);
    QDialog::done(result);
}

}  // namespace tarvik
