#pragma once
// The application object: starts the program and holds the state that every window
// of the desktop program shares. Its members are touched on the user-interface thread
// only.
#include <QApplication>
#include <QPointer>
#include <memory>
#include <string>

#include "app/command_state.h"
#include "app/main_frame.h"
#include "app/splash_dlg.h"
#include "app/ui_state.h"

namespace tarvik {

class RecoverySession;
struct StartOptions;

class CTarvikApp : public QApplication {
    Q_OBJECT
  public:
    CTarvikApp(int& argc, char** argv);
    ~CTarvikApp() override;

    // The one application object, or nullptr when the running QApplication is another.
    static CTarvikApp* Instance();

    // Start-up: fills the disk table, shows the splash screen, creates and shows the
    // main frame. False when the program is to end at once.
    bool InitInstance(const StartOptions& options, int splashMilliseconds);
    // Creates the main frame (without splash or showing); used by start-up and tests.
    CMainFrame* CreateMainFrame();
    CMainFrame* MainFrame() const { return mainFrame_; }

    // The flags the command enabling rules read.
    CommandFlags Flags() const;

    // Remembered while it runs so the program's end can stop it.
    void SetSplashThread(CSplashScreenThread* thread);

    // The disks, the drive chosen last with its engine, check marks and file filter.
    std::unique_ptr<RecoverySession> Session;

    // What the windows show and share.
    UiState& State() { return state_; }
    const UiState& State() const { return state_; }

  public slots:
    void OnAppAbout();

  private:
    QPointer<CMainFrame> mainFrame_;
    QPointer<CSplashScreenThread> splashThread_;
    UiState state_;
};

}  // namespace tarvik
