#include "app/tarvik_app.h"

#include "common/version.h"

#include <QMessageBox>
#include <cstdio>

#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "app/pictures.h"
#include "app/resource_ids.h"
#include "app/splash_dlg.h"
#include "app/start_options.h"
#include "app/worker_thread.h"
#include "common/version.h"
#include "session/recovery_session.h"

// The pictures and the manual are compiled into the static library; nothing else refers
// to them, so they are registered by hand. Outside any namespace, as the macro needs.
static void InitTarvikResources() {
    Q_INIT_RESOURCE(tarvik);
}

namespace tarvik {

CTarvikApp::CTarvikApp(int& argc, char** argv)
    : QApplication(argc, argv), Session(std::make_unique<RecoverySession>()) {
    InitTarvikResources();
    // The settings file lives under the organisation's folder of the user's config.
    setOrganizationName("Corvane Miravel");
    setApplicationName(kApplicationTitle);
    // No display name: the toolkit would append it to every window title, and the
    // titles are the program's own texts.
    setDesktopFileName("tarvik");
    setApplicationVersion(kVersion);
    setWindowIcon(ProgramIcon());
}

CTarvikApp::~CTarvikApp() {
    // No worker may outlive the session it works on.
    CWorkerThread::StopAll();
    // The splash thread is normally long finished; at a very early end it may still be
    // asleep, and a running thread must not outlive the application object.
    if (splashThread_) {
        splashThread_->Stop();
        splashThread_->wait();
    }
    delete mainFrame_.data();
}

CTarvikApp* CTarvikApp::Instance() {
    return qobject_cast<CTarvikApp*>(QCoreApplication::instance());
}

void CTarvikApp::SetSplashThread(CSplashScreenThread* thread) {
    splashThread_ = thread;
}

bool CTarvikApp::InitInstance(const StartOptions& options, int splashMilliseconds) {
    // A disk named on the command line that cannot be read ends the program at once,
    // as the command line does, rather than leaving the user to find it missing.
    if (const auto problem = Session->LoadDisks(options.diskPaths, true)) {
        std::fprintf(stderr, "tarvik: %s\n", problem->c_str());
        // Started from a desktop menu nobody sees standard error: the box says it too.
        QMessageBox::critical(nullptr, kMainTitle, QString::fromStdString(*problem));
        return false;
    }
    if (splashMilliseconds > 0) {
        CSplashDlg splash(splashMilliseconds);
        splash.exec();
    }
    if (!CreateMainFrame()) return false;
    mainFrame_->setWindowTitle(kMainTitle);
    mainFrame_->showNormal();
    return true;
}

CMainFrame* CTarvikApp::CreateMainFrame() {
    if (!mainFrame_) mainFrame_ = new CMainFrame(*this);
    return mainFrame_;
}

CommandFlags CTarvikApp::Flags() const {
    CommandFlags flags;
    flags.listFilled = state_.panes.listFilled;
    flags.anySelected = state_.checked.any;
    flags.allSelected = state_.checked.all;
    flags.deletedFoldersPresent = state_.panes.deletedFoldersPresent;
    flags.findNextEnabled = state_.find.nextEnabled;
    flags.advanceSearchDone = state_.advanceSearchDone;
    flags.engineHoldsFilter = Session->HasDrive() && Session->HoldsFileFilter();
    return flags;
}

void CTarvikApp::OnAppAbout() {
    CAboutDlg about(mainFrame_);
    about.exec();
}

}  // namespace tarvik
