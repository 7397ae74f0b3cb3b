#pragma once
// The main frame's menu, toolbar layout, status prompts, tool tips and accelerators as
// plain data, so the frame builds its widgets from one table and tests can read it.
#include <span>
#include <vector>

namespace tarvik {

struct MenuEntry {
    enum class Kind { Command, Separator, Popup };
    Kind kind = Kind::Command;
    int id = 0;
    const char* text = "";
    std::vector<MenuEntry> children;  // a Popup's items
};

// Menu 128: the top-level pop-ups in order.
const std::vector<MenuEntry>& MainMenu();

// Toolbar 128: the buttons' command numbers in order, 0 for a separator.
std::span<const int> ToolbarLayout();

// The status-bar prompt of a command, or nullptr when it has none.
const char* CommandPrompt(int id);
// The tool tip of a command, or nullptr when it has none.
const char* CommandToolTip(int id);

struct Accelerator {
    const char* keys;  // in QKeySequence's portable text form
    int id;
};
// Accelerator table 128.
std::span<const Accelerator> Accelerators();

}  // namespace tarvik
