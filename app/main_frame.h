#pragma once
// The main window: a splitter with the folder tree on the left and the file list on the
// right, the toolbar, the menus and the three-pane status bar.
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/command_state.h"
#include "app/command_table.h"
#include "app/file_list_pane.h"
#include "recovery/recovery_writer.h"

class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace tarvik {

class CDriveChooser;
class CLeftView;
class CTarvikView;
class CTarvikApp;
class RecoverySession;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit CMainFrame(CTarvikApp& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // ---- the splitter's panes ----
    QWidget* TreeView() const;
    // The folder tree and the file list, while they are the splitter's panes.
    CLeftView* LeftView() const;
    CTarvikView* ListView() const;
    // The right pane when it is a file list, else nullptr.
    FileListPane* FileListView() const;
    // Puts the real views in place of the panes shown so far (which are deleted).
    void ReplacePanes(QWidget* tree, QWidget* list);
    QSplitter* Splitter() const { return splitter_; }

    // ---- the session: always the application object's ----
    RecoverySession& Session() const;
    const QPersistentModelIndex& RootTreeItem() const { return rootTreeItem_; }
    void SetRootTreeItem(const QPersistentModelIndex& item) { rootTreeItem_ = item; }

    // ---- commands ----
    using CommandHandler = std::function<void()>;
    // Gives a command its handler (replacing any); a command without one is grayed.
    void SetCommandHandler(int id, CommandHandler handler);
    bool HasHandler(int id) const { return handlers_.count(id) != 0; }
    // Runs a command's handler, if it has one.
    void OnCommand(int id);
    CommandFlags Flags() const;
    bool MenuItemEnabled(int id) const;
    bool ToolbarButtonEnabled(int id) const;
    // Decides the state of every item of a pop-up as it opens.
    void UpdateMenuState(QMenu* popup);
    void UpdateToolbarState();
    QAction* MenuAction(int id) const;
    QAction* ToolbarAction(int id) const;
    QToolBar* ToolBar() const { return toolBar_; }

    // ---- the drive shown ----
    // The road from a disk to a scanned drive that the drive commands take.
    CDriveChooser& Chooser() const { return *chooser_; }
    // Lets go of the shown drive before another one replaces it: the folder tree and the
    // file list are emptied and the flags a shown list sets go back to 0.
    void ClearViews();
    // After a scan: the views take the session's catalogue, the totals are shown.
    void ShowScannedDrive();
    // Drive > Open Disk Image...: asks for an image file, then goes on with it.
    void OnOpenDiskImage();
    // True from the close of the window until it is shown again: a command still under
    // way (its dialogs' loops end with the program's) goes no further.
    bool Closing() const { return closing_; }

    // ---- recovery ----
    // Asks for the destination folder; an empty text when the user cancels. Tests put
    // their own chooser in place of the folder browser.
    using FolderChooser = std::function<QString()>;
    void SetFolderChooser(FolderChooser chooser) { folderChooser_ = std::move(chooser); }
    QString ChooseDestinationFolder();
    // Recover Selected Files, Recover All and Recover Deleted Files: destination,
    // refusal of a folder on the scanned disk, the saving, then its summary.
    void RecoverCommand(RecoveryMode mode);
    // The folder the last recovery wrote into (the chosen one with Root appended).
    const QString& DestinationPath() const { return destinationPath_; }
    RecoveryMode CurrentRecoveryMode() const { return recoveryMode_; }
    // What the last saving did; nothing before one ran.
    const std::optional<RecoveryResult>& LastRecovery() const { return lastRecovery_; }
    // Whether the end-of-saving summary is shown (tests that run many savings turn it off).
    void SetShowSavingSummary(bool show) { showSavingSummary_ = show; }
    bool ShowsSavingSummary() const { return showSavingSummary_ && !closing_; }

    // ---- status bar ----
    // Pane 1: the totals of the engine's catalogue.
    void ShowTotals();
    // Pane 2: the totals over the checked entries.
    void ShowSelectedTotals();
    // Pane 0 (prompts, "Ready"), 1 (totals) or 2 (selected totals).
    QLabel* StatusPane(int index) const;

    static constexpr int kPromptPaneWidth = 195;
    static constexpr int kTotalsPaneWidth = 275;
    static constexpr int kTreePaneWidth = 195;

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void CreateToolBar();
    void CreateStatusBar();
    void CreateClient();
    void CreateMenus();
    void AddMenuEntries(QMenu* menu, const std::vector<MenuEntry>& entries);
    void CreateAccelerators();
    void InstallShellHandlers();
    void OnClose();
    void OnArrange(int column);
    void SetListStyle(ListViewStyle style);
    void MovePaneFocus(int step);
    void OnSelectAll(bool checked);
    void OnFind();
    void OnFindNext();
    void OnAddFileFilter();

    CTarvikApp& app_;
    QSplitter* splitter_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* panes_[3] = {};
    std::map<int, QAction*> menuActions_;
    std::map<int, QAction*> toolbarActions_;
    std::map<int, CommandHandler> handlers_;
    std::vector<QMenu*> popups_;
    QPersistentModelIndex rootTreeItem_;
    std::unique_ptr<CDriveChooser> chooser_;
    bool closing_ = false;
    FolderChooser folderChooser_;
    QString destinationPath_;
    RecoveryMode recoveryMode_ = RecoveryMode::kSelected;
    std::optional<RecoveryResult> lastRecovery_;
    bool showSavingSummary_ = true;
};

// The folder a recovery writes into: Root inside the chosen folder, "/Root" for the
// file system's root.
QString DestinationRoot(const QString& chosen);

}  // namespace tarvik
