// The main frame's menus, accelerators, command dispatch and enabling.
#include <QActionGroup>
#include <QApplication>
#include <QFileDialog>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QWhatsThis>

#include "app/browse/find_dlg.h"
#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/command_ids.h"
#include "app/control_id.h"
#include "app/disks/drive_chooser.h"
#include "app/help_window.h"
#include "app/main_frame.h"
#include "app/recover/add_file_filter_dlg.h"
#include "app/recover/saving_files_dlg.h"
#include "app/recover/saving_summary_dlg.h"
#include "app/shell_dialogs.h"
#include "app/tarvik_app.h"
#include "app/view_settings.h"
#include "app/worker_reporting.h"
#include "recovery/destination_check.h"
#include "recovery/recovery_texts.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

bool IsViewStyle(int id) {
    return id >= ID_VIEW_SMALLICON && id <= ID_VIEW_DETAILS;
}

ListViewStyle StyleOf(int id) {
    switch (id) {
        case ID_VIEW_LARGEICON:
            return ListViewStyle::LargeIcons;
        case ID_VIEW_SMALLICON:
            return ListViewStyle::SmallIcons;
        case ID_VIEW_LIST:
            return ListViewStyle::List;
        default:
            return ListViewStyle::Details;
    }
}

}  // namespace

void CMainFrame::CreateMenus() {
    for (const MenuEntry& popup : MainMenu()) {
        QMenu* menu = menuBar()->addMenu(popup.text);
        AddMenuEntries(menu, popup.children);
    }
}

void CMainFrame::AddMenuEntries(QMenu* menu, const std::vector<MenuEntry>& entries) {
    popups_.push_back(menu);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenuState(menu); });
    for (const MenuEntry& entry : entries) {
        switch (entry.kind) {
            case MenuEntry::Kind::Separator:
                menu->addSeparator();
                break;
            case MenuEntry::Kind::Popup:
                AddMenuEntries(menu->addMenu(entry.text), entry.children);
                break;
            case MenuEntry::Kind::Command: {
                // The accelerator is part of the text after a tab; the keys themselves
                // belong to the accelerator table.
                QAction* action = menu->addAction(entry.text);
                SetControlId(action, entry.id);
                if (const char* prompt = CommandPrompt(entry.id)) action->setStatusTip(prompt);
                const int id = entry.id;
                connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
                menuActions_[id] = action;
                break;
            }
        }
    }
}

void CMainFrame::CreateAccelerators() {
    for (const Accelerator& accelerator : Accelerators()) {
        auto* shortcut = new QShortcut(QKeySequence(accelerator.keys), this);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = accelerator.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] {
            // As for a toolbar button, a command is re-checked against its update rule
            // before it runs.
            if (ToolbarButtonEnabled(id)) OnCommand(id);
        });
    }
}

void CMainFrame::InstallShellHandlers() {
    SetCommandHandler(ID_SELECT_PHYSICAL_DISK, [this] { chooser_->SelectPhysicalDisk(); });
    SetCommandHandler(ID_OPEN_DISK_IMAGE, [this] { OnOpenDiskImage(); });
    SetCommandHandler(ID_OPEN_DRIVE, [this] { chooser_->OpenDrive(); });
    SetCommandHandler(ID_ADVANCE_SEARCH, [this] { chooser_->AdvanceSearch(); });
    SetCommandHandler(ID_CARVE_FREE_SPACE, [this] { chooser_->CarveFreeSpace(); });
    SetCommandHandler(ID_APP_EXIT, [this] { close(); });
    SetCommandHandler(ID_APP_ABOUT, [this] { app_.OnAppAbout(); });
    for (int id : {ID_HELP_FINDER, ID_HELP_INDEX, ID_HELP})
        SetCommandHandler(id, [this] { ShowManual(this); });
    SetCommandHandler(ID_CONTEXT_HELP, [] { QWhatsThis::enterWhatsThisMode(); });
    SetCommandHandler(ID_NEXT_PANE, [this] { MovePaneFocus(1); });
    SetCommandHandler(ID_PREV_PANE, [this] { MovePaneFocus(-1); });
    SetCommandHandler(ID_VIEW_TOOLBAR, [this] { toolBar_->setVisible(!toolBar_->isVisible()); });
    SetCommandHandler(ID_VIEW_STATUS_BAR,
                      [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    for (int id : {ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS})
        SetCommandHandler(id, [this, id] { SetListStyle(StyleOf(id)); });
    SetCommandHandler(ID_ARRANGE_NAME, [this] { OnArrange(0); });
    SetCommandHandler(ID_ARRANGE_TYPE, [this] { OnArrange(1); });
    SetCommandHandler(ID_ARRANGE_SIZE, [this] { OnArrange(2); });
    SetCommandHandler(ID_ARRANGE_FILEID, [this] { OnArrange(CFileListModel::kFileId); });
    SetCommandHandler(ID_DRIVE_PARAMETERS, [this] {
        CDrivePropertiesDlg dialog(Session().Properties(), this);
        dialog.exec();
    });
    SetCommandHandler(ID_SELECT_ALL, [this] { OnSelectAll(true); });
    SetCommandHandler(ID_UNSELECT_ALL, [this] { OnSelectAll(false); });
    SetCommandHandler(ID_FIND, [this] { OnFind(); });
    SetCommandHandler(ID_FIND_NEXT, [this] { OnFindNext(); });
    SetCommandHandler(ID_RECOVER_SELECTED, [this] { RecoverCommand(RecoveryMode::kSelected); });
    SetCommandHandler(ID_RECOVER_ALL, [this] { RecoverCommand(RecoveryMode::kAll); });
    SetCommandHandler(ID_RECOVER_DELETED, [this] { RecoverCommand(RecoveryMode::kDeleted); });
    SetCommandHandler(ID_ADD_FILE_FILTER, [this] { OnAddFileFilter(); });
    SetCommandHandler(ID_REMOVE_FILE_FILTER, [this] {
        Session().DropFileFilter();
        app_.State().filterActive = false;
    });
}

void CMainFrame::SetCommandHandler(int id, CommandHandler handler) {
    if (handler)
        handlers_[id] = std::move(handler);
    else
        handlers_.erase(id);
}

void CMainFrame::OnCommand(int id) {
    const auto found = handlers_.find(id);
    if (found == handlers_.end()) return;
    const CommandHandler handler = found->second;  // a handler may replace itself
    handler();
    ShowFileFilter();
    UpdateToolbarState();
}

CommandFlags CMainFrame::Flags() const {
    CommandFlags flags = app_.Flags();
    flags.listViewExists = FileListView() != nullptr;
    flags.engineHoldsFilter = Session().HasDrive() && Session().HoldsFileFilter();
    return flags;
}

bool CMainFrame::MenuItemEnabled(int id) const {
    return MenuCommandEnabled(id, HasHandler(id), Flags());
}

bool CMainFrame::ToolbarButtonEnabled(int id) const {
    return ToolbarCommandEnabled(id, HasHandler(id), Flags());
}

void CMainFrame::UpdateMenuState(QMenu* popup) {
    const CommandFlags flags = Flags();
    const FileListPane* list = FileListView();
    for (QAction* action : popup->actions()) {
        bool isNumber = false;
        const int id = action->objectName().toInt(&isNumber);
        if (!isNumber) continue;
        action->setEnabled(MenuCommandEnabled(id, HasHandler(id), flags));
        if (id == ID_VIEW_TOOLBAR || id == ID_VIEW_STATUS_BAR) {
            action->setCheckable(true);
            action->setChecked(id == ID_VIEW_TOOLBAR ? toolBar_->isVisible()
                                                     : statusBar()->isVisible());
        } else if (IsViewStyle(id)) {
            // The four styles are one radio group per pop-up: at most one carries the
            // mark, none while there is no file list.
            if (!action->actionGroup()) {
                auto* group =
                    popup->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
                if (!group) {
                    group = new QActionGroup(popup);
                    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
                }
                group->addAction(action);
            }
            action->setCheckable(true);
            action->setChecked(list && list->ViewStyle() == StyleOf(id));
        }
    }
}

void CMainFrame::UpdateToolbarState() {
    const CommandFlags flags = Flags();
    for (const auto& [id, action] : toolbarActions_)
        action->setEnabled(ToolbarCommandEnabled(id, HasHandler(id), flags));
}

QAction* CMainFrame::MenuAction(int id) const {
    const auto found = menuActions_.find(id);
    return found == menuActions_.end() ? nullptr : found->second;
}

QAction* CMainFrame::ToolbarAction(int id) const {
    const auto found = toolbarActions_.find(id);
    return found == toolbarActions_.end() ? nullptr : found->second;
}

void CMainFrame::SetListStyle(ListViewStyle style) {
    if (FileListPane* list = FileListView()) list->SetViewStyle(style);
}

void CMainFrame::OnArrange(int column) {
    FileListPane* list = FileListView();
    if (list) list->ClearHotItem();
    app_.State().sort.active = true;
    app_.State().sort.column = column;
    app_.State().sort.clickAscending = !app_.State().sort.clickAscending;
    app_.State().sort.ascending = app_.State().sort.clickAscending;
    if (list) list->SortRows(column, app_.State().sort.ascending);
}

void CMainFrame::OnSelectAll(bool checked) {
    CLeftView* tree = LeftView();
    if (!tree || !rootTreeItem_.isValid()) return;
    // The marks of every entry; the list shows them as it reads them back.
    tree->ApplyFolderCheck(rootTreeItem_, checked ? 1 : 2);
}

void CMainFrame::OnFind() {
    CLeftView* tree = LeftView();
    if (!tree) return;
    app_.State().find.nextEnabled = true;
    CFindDlg dialog(app_, *tree, this);
    dialog.exec();
}

void CMainFrame::OnFindNext() {
    CLeftView* tree = LeftView();
    if (!tree) return;
    tree->FindNext(app_.State().find.lastMatch);
}

QString DestinationRoot(const QString& chosen) {
    return chosen.endsWith('/') ? chosen + kRecoveryRootName : chosen + '/' + kRecoveryRootName;
}

// A destination that cannot be told apart from the scanned disk: the user decides, and
// the safe answer is the default.
static bool ConfirmUncertainDestination(const DestinationVerdict& verdict) {
    const QString text = QString::fromUtf8(kDestinationUncertainText)
                             .replace("%s", QString::fromStdString(verdict.why));
    QMessageBox box(QMessageBox::Warning, kAppCaption,
                    text + "\n\nWrite the recovered files there anyway?",
                    QMessageBox::Yes | QMessageBox::No);
    box.setObjectName("uncertainDestination");
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString CMainFrame::ChooseDestinationFolder() {
    if (folderChooser_) return folderChooser_();
    const QString chosen =
        QFileDialog::getExistingDirectory(this, "Select the Destination Folder for Saving Files",
                                          LastDestinationFolder(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) RememberDestinationFolder(chosen);
    return chosen;
}

void CMainFrame::RecoverEntry(std::size_t position) {
    if (!Session().HasDrive() || position >= Session().Checks().Placed().size()) return;
    const CheckMarks marks = Session().Checks().MarksOfOne(position);
    RecoverCommand(RecoveryMode::kSelected, &marks);
}

void CMainFrame::RecoverCommand(RecoveryMode mode, const CheckMarks* marks) {
    if (!Session().HasDrive()) return;
    recoveryMode_ = mode;
    const QString chosen = ChooseDestinationFolder();
    if (chosen.isEmpty()) return;
    // Refused before anything starts: files written there would land in the free
    // clusters that still hold the deleted data.
    const DestinationVerdict verdict = Session().JudgeDestinationOf(chosen.toStdString());
    if (verdict.standing == DestinationStanding::kOnDisk) {
        ShowNotice(kDestinationOnScannedDiskText, kAppCaption, NoticeIcon::Error);
        return;
    }
    if (verdict.standing == DestinationStanding::kUncertain &&
        !ConfirmUncertainDestination(verdict))
        return;
    destinationPath_ = DestinationRoot(chosen);
    {
        CSavingFilesDlg saving(Session(), chosen.toStdString(), mode, this);
        saving.SetMarks(marks);
        lastRecovery_ = saving.Run();
    }
    // A refusal or a Root that could not be made has been told in a message already.
    if (closing_ || !showSavingSummary_ || lastRecovery_->refused || !lastRecovery_->rootCreated)
        return;
    CSavingSummaryDlg summary(*lastRecovery_, Session().LastRecoveryNotices(), destinationPath_,
                              this, &Session().LastReport());
    summary.exec();
}

void CMainFrame::OnAddFileFilter() {
    if (!Session().HasDrive()) return;
    CAddFileFilterDlg dialog(Session(), app_, this);
    dialog.exec();
}

void CMainFrame::MovePaneFocus(int step) {
    const int count = splitter_->count();
    int current = 0;
    for (int i = 0; i < count; ++i)
        if (splitter_->widget(i)->isAncestorOf(QApplication::focusWidget()) ||
            splitter_->widget(i) == QApplication::focusWidget())
            current = i;
    splitter_->widget(((current + step) % count + count) % count)->setFocus();
}

}  // namespace tarvik
