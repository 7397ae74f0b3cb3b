#include "app/command_table.h"

#include <array>

#include "app/command_ids.h"

namespace tarvik {

namespace {

MenuEntry Item(int id, const char* text) {
    return {MenuEntry::Kind::Command, id, text, {}};
}
MenuEntry Separator() {
    return {MenuEntry::Kind::Separator, 0, "", {}};
}
MenuEntry Popup(const char* text, std::vector<MenuEntry> children) {
    return {MenuEntry::Kind::Popup, 0, text, std::move(children)};
}

std::vector<MenuEntry> BuildMainMenu() {
    return {
        Popup("&Drive", {Item(ID_SELECT_PHYSICAL_DISK, "S&elect Physical Disk\tCtrl+O"),
                         Item(ID_OPEN_DISK_IMAGE, "Open Disk &Image..."), Separator(),
                         Item(ID_OPEN_DRIVE, "&Open Drive"), Separator(),
                         Item(ID_APP_EXIT, "E&xit Corvane Miravel NTFS")}),
        Popup("&File", {Item(ID_RECOVER_SELECTED, "Recover &Selected Files\tCtrl+S"),
                        Item(ID_RECOVER_ALL, "&Recover All"),
                        Item(ID_RECOVER_DELETED, "Recover &Deleted Files"), Separator(),
                        Item(ID_ADD_FILE_FILTER, "&Add File Filter"),
                        Item(ID_REMOVE_FILE_FILTER, "Remove File Filter")}),
        Popup("&Tools", {Item(ID_FIND, "&Find\tCtrl+Shift+F"), Item(ID_FIND_NEXT, "Find &Next\tF3"),
                         Separator(), Item(ID_SELECT_ALL, "Select &All"),
                         Item(ID_UNSELECT_ALL, "&Unselect  All"), Separator(),
                         Item(ID_DRIVE_PARAMETERS, "&Drive Parameters"), Separator(),
                         Item(ID_ADVANCE_SEARCH, "&Advance Search"),
                         Item(ID_CARVE_FREE_SPACE, "&Carve Free Space")}),
        Popup("&View",
              {Item(ID_VIEW_TOOLBAR, "&Toolbar"), Item(ID_VIEW_STATUS_BAR, "&Status Bar"),
               Separator(), Item(ID_VIEW_LARGEICON, "Large Icons"),
               Item(ID_VIEW_SMALLICON, "Small Icons"), Item(ID_VIEW_LIST, "List"),
               Item(ID_VIEW_DETAILS, "Details"), Separator(),
               Popup("Arrange",
                     {Item(ID_ARRANGE_NAME, "By &Name"), Item(ID_ARRANGE_TYPE, "By &Type"),
                      Item(ID_ARRANGE_SIZE, "By &Size"), Item(ID_ARRANGE_FILEID, "By &Fileid")})}),
        Popup("&Help", {Item(ID_HELP_FINDER, "&Help Topics"), Separator(),
                        Item(ID_APP_ABOUT, "&About Corvane Miravel NTFS")}),
    };
}

constexpr std::array<int, 13> kToolbar = {
    ID_SELECT_PHYSICAL_DISK,
    ID_OPEN_DRIVE,
    ID_SEPARATOR,
    ID_ADD_FILE_FILTER,
    ID_SEPARATOR,
    ID_FIND,
    ID_FIND_NEXT,
    ID_SEPARATOR,
    ID_RECOVER_ALL,
    ID_RECOVER_DELETED,
    ID_RECOVER_SELECTED,
    ID_SEPARATOR,
    ID_HELP_FINDER,
};

struct CommandText {
    int id;
    const char* prompt;
    const char* toolTip;
};

// The View and Help items use the usual prompts of a desktop framework.
constexpr std::array<CommandText, 29> kTexts = {{
    {ID_SELECT_PHYSICAL_DISK, "Select Physical Disk", "Select Physical Disk"},
    {ID_OPEN_DISK_IMAGE, "Add a disk image file to the disk list and open it", nullptr},
    {ID_RECOVER_SELECTED, "Recover Selected Files", "Recover Selected Files"},
    {ID_ADD_FILE_FILTER, "Add File Filter", "Add File Filter"},
    {ID_SELECT_ALL, "Select All Items", nullptr},
    {ID_UNSELECT_ALL, "Unselect All Marked Files", nullptr},
    {ID_FIND, "Find", "Find"},
    {ID_FIND_NEXT, "Find Next", "Find Next"},
    {ID_DRIVE_PARAMETERS, "Drive Parameters", nullptr},
    {ID_RECOVER_ALL, "Recover All", "Recover All"},
    {ID_RECOVER_DELETED, "Recover Deleted Files", "Recover Deleted Files"},
    {ID_REMOVE_FILE_FILTER, "Remove File Filter", nullptr},
    {ID_OPEN_DRIVE, "Open Drive", "Open Drive"},
    {ID_ADVANCE_SEARCH, "Search Logical Drive Thoroughly", nullptr},
    {ID_CARVE_FREE_SPACE, "Find files by their content in free clusters", nullptr},
    {ID_ARRANGE_NAME, "Arrange by Name", nullptr},
    {ID_ARRANGE_TYPE, "Arrange by Type", nullptr},
    {ID_ARRANGE_SIZE, "Arrange by Size", nullptr},
    {ID_ARRANGE_FILEID, "Arrange by Fileid", nullptr},
    {ID_APP_EXIT, "Exit Corvane Miravel NTFS", nullptr},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar", "Toggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar", "Toggle StatusBar"},
    {ID_VIEW_LARGEICON, "Display items by using large icons", "Large Icons"},
    {ID_VIEW_SMALLICON, "Display items by using small icons", "Small Icons"},
    {ID_VIEW_LIST, "Displays items in a list", "List"},
    {ID_VIEW_DETAILS, "Displays detailed information about each item in the window", "Details"},
    {ID_HELP_FINDER, "List Help topics", "Help Topics"},
    {ID_APP_ABOUT, "Display program information, version number and copyright", "About"},
    {ID_HELP, "Display help for current task or command", "Help"},
}};

constexpr std::array<Accelerator, 19> kAccelerators = {{
    {"Ctrl+O", ID_SELECT_PHYSICAL_DISK},
    {"Ctrl+E", ID_SELECT_PHYSICAL_DISK},
    {"Ctrl+S", ID_RECOVER_SELECTED},
    {"Ctrl+A", ID_ADD_FILE_FILTER},
    {"Ctrl+Shift+F", ID_FIND},
    {"F3", ID_FIND_NEXT},
    {"F1", ID_HELP},
    {"Shift+F1", ID_CONTEXT_HELP},
    {"F6", ID_NEXT_PANE},
    {"Shift+F6", ID_PREV_PANE},
    {"Ctrl+N", ID_FILE_NEW},
    {"Ctrl+C", ID_EDIT_COPY},
    {"Ctrl+Ins", ID_EDIT_COPY},
    {"Ctrl+V", ID_EDIT_PASTE},
    {"Shift+Ins", ID_EDIT_PASTE},
    {"Ctrl+X", ID_EDIT_CUT},
    {"Shift+Del", ID_EDIT_CUT},
    {"Ctrl+Z", ID_EDIT_UNDO},
    {"Alt+Backspace", ID_EDIT_UNDO},
}};

const CommandText* TextsOf(int id) {
    for (const auto& t : kTexts)
        if (t.id == id) return &t;
    return nullptr;
}

}  // namespace

const std::vector<MenuEntry>& MainMenu() {
    static const std::vector<MenuEntry> menu = BuildMainMenu();
    return menu;
}

std::span<const int> ToolbarLayout() {
    return kToolbar;
}

const char* CommandPrompt(int id) {
    const CommandText* t = TextsOf(id);
    return t ? t->prompt : nullptr;
}

const char* CommandToolTip(int id) {
    const CommandText* t = TextsOf(id);
    return t ? t->toolTip : nullptr;
}

std::span<const Accelerator> Accelerators() {
    return kAccelerators;
}

}  // namespace tarvik
