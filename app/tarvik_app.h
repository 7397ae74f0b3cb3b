#pragma once
// The application object: starts the program and holds the state that every window
// of the desktop program shares. Its members are touched on the user-interface thread
// only.
#include <QApplication>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "app/command_state.h"
#include "app/main_frame.h"
#include "app/splash_dlg.h"

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

    // ---- program-wide state; everything starts at 0 but SearchType ----
    // The disks, the drive chosen last with its engine, check marks and file filter.
    std::unique_ptr<RecoverySession> Session;
    std::int32_t ListFilled = 0;
    std::int32_t AnySelected = 0;
    std::int32_t DeletedFoldersPresent = 0;
    std::int32_t SortActive = 0;
    std::int32_t SortColumn = 0;
    std::int32_t SortDirection = 0;
    std::int32_t SortToggle = 0;
    std::int32_t FilterActive = 0;
    std::int32_t SearchType = 1;  // 1 partition table, 0 search the disk, -1 cancelled
    std::int32_t FindNextEnabled = 0;
    std::int32_t AdvanceSearchDone = 0;
    std::int32_t AllSelected = 0;
    std::uint32_t SelectedFileCount = 0;
    std::uint32_t SelectedFolderCount = 0;
    std::uint64_t SelectedBytes = 0;
    std::int32_t ViewsFilled = 0;
    // Find and Find Next: the text and options of the last search, and the catalogue
    // index of its last match (FindMatched 0 until a first match).
    QString FindText;
    std::uint32_t FindPosition = 0;
    std::int32_t FindMatched = 0;
    std::int32_t MatchCase = 0;
    std::int32_t FindDeleted = 1;
    std::int32_t FindExisting = 1;

  public slots:
    void OnAppAbout();

  private:
    QPointer<CMainFrame> mainFrame_;
    QPointer<CSplashScreenThread> splashThread_;
};

}  // namespace tarvik
