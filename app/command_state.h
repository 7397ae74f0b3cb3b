#pragma once
// When a command of the main frame may be used. Decided afresh from the application
// object's flags each time a menu opens, the toolbar updates or an accelerator fires.
namespace tarvik {

struct CommandFlags {
    bool listFilled = false;
    bool anySelected = false;
    bool allSelected = false;
    bool deletedFoldersPresent = false;
    bool findNextEnabled = false;
    bool advanceSearchDone = false;
    bool engineHoldsFilter = false;  // the frame's engine holds a file filter
    bool listViewExists = false;     // the right pane is a file list view
};

// The update rule of a command that has a handler; commands without a rule are allowed.
bool UpdateRuleAllows(int id, const CommandFlags& flags);

// Toolbar buttons and accelerators: the update rules alone. A command that nothing
// handles is grayed.
bool ToolbarCommandEnabled(int id, bool hasHandler, const CommandFlags& flags);

// Menu items: the update rules, then the frame's own pass as the pop-up opens, which
// sets a few items directly whether or not anything handles them yet.
bool MenuCommandEnabled(int id, bool hasHandler, const CommandFlags& flags);

}  // namespace tarvik
