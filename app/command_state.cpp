#include "app/command_state.h"

#include <algorithm>
#include <array>

#include "app/command_ids.h"

namespace tarvik {

namespace {

// Items the pop-up pass grays before deciding them again from the flags.
constexpr std::array<int, 9> kPopupDecided = {
    ID_REMOVE_FILE_FILTER, ID_UNSELECT_ALL,   ID_SELECT_ALL,      ID_DRIVE_PARAMETERS, ID_FIND_NEXT,
    ID_OPEN_DRIVE,         ID_ADVANCE_SEARCH, ID_RECOVER_DELETED, ID_CARVE_FREE_SPACE};

// Items a shown file list makes usable in the menu.
constexpr std::array<int, 6> kListEnabled = {ID_FIND,       ID_SELECT_ALL,     ID_DRIVE_PARAMETERS,
                                             ID_OPEN_DRIVE, ID_ADVANCE_SEARCH, ID_CARVE_FREE_SPACE};

template <std::size_t N>
bool Contains(const std::array<int, N>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The pop-up pass, step by step, for one item whose state after the update rules is
// `enabled`. The order matters: later steps override earlier ones.
bool PopupPass(int id, bool enabled, const CommandFlags& f) {
    if (Contains(kPopupDecided, id)) enabled = false;
    if (f.anySelected) {
        if (id == ID_UNSELECT_ALL) enabled = true;
        if (id == ID_SELECT_ALL) enabled = false;
    }
    if (f.listFilled) {
        if (id == ID_RECOVER_DELETED && f.deletedFoldersPresent) enabled = true;
        if (Contains(kListEnabled, id)) enabled = true;
        if (id == ID_FIND_NEXT) enabled = f.findNextEnabled;
        if (id == ID_ADVANCE_SEARCH && f.advanceSearchDone) enabled = false;
    }
    if (f.engineHoldsFilter && id == ID_REMOVE_FILE_FILTER) enabled = true;
    if (f.allSelected && id == ID_SELECT_ALL) enabled = false;
    return enabled;
}

}  // namespace

bool UpdateRuleAllows(int id, const CommandFlags& f) {
    switch (id) {
        case ID_RECOVER_ALL:
        case ID_ADD_FILE_FILTER:
        case ID_FIND:
        case ID_OPEN_DRIVE:
            return f.listFilled;
        case ID_RECOVER_DELETED:
            return f.deletedFoldersPresent;
        case ID_RECOVER_SELECTED:
            return f.anySelected;
        case ID_FIND_NEXT:
            return f.findNextEnabled;
        case ID_VIEW_SMALLICON:
        case ID_VIEW_LARGEICON:
        case ID_VIEW_LIST:
        case ID_VIEW_DETAILS:
            return f.listViewExists;
        default:
            return true;
    }
}

bool ToolbarCommandEnabled(int id, bool hasHandler, const CommandFlags& flags) {
    return hasHandler && UpdateRuleAllows(id, flags);
}

bool MenuCommandEnabled(int id, bool hasHandler, const CommandFlags& flags) {
    return PopupPass(id, ToolbarCommandEnabled(id, hasHandler, flags), flags);
}

}  // namespace tarvik
