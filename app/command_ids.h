#pragma once
// Command numbers of the main frame's menu, toolbar and accelerators.

namespace tarvik {

inline constexpr int ID_SELECT_PHYSICAL_DISK = 32771;
inline constexpr int ID_RECOVER_SELECTED = 32772;
inline constexpr int ID_ADD_FILE_FILTER = 32773;
inline constexpr int ID_SELECT_ALL = 32774;
inline constexpr int ID_UNSELECT_ALL = 32775;
inline constexpr int ID_FIND = 32776;
inline constexpr int ID_FIND_NEXT = 32777;
inline constexpr int ID_DRIVE_PARAMETERS = 32782;
inline constexpr int ID_RECOVER_ALL = 32783;
inline constexpr int ID_RECOVER_DELETED = 32784;
inline constexpr int ID_REMOVE_FILE_FILTER = 32785;
inline constexpr int ID_OPEN_DRIVE = 32786;
inline constexpr int ID_ADVANCE_SEARCH = 32787;
inline constexpr int ID_ARRANGE_NAME = 32789;
inline constexpr int ID_ARRANGE_TYPE = 32790;
inline constexpr int ID_ARRANGE_SIZE = 32791;
inline constexpr int ID_ARRANGE_FILEID = 32792;
// Adds a disk image file to the disk list and goes on with it as with a chosen disk.
inline constexpr int ID_OPEN_DISK_IMAGE = 32793;
// Finds files by their content in the scanned drive's free clusters.
inline constexpr int ID_CARVE_FREE_SPACE = 32794;

inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_HELP_FINDER = 57667;
inline constexpr int ID_CONTEXT_HELP = 57669;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_HELP_INDEX = 57671;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;

inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_VIEW_SMALLICON = 59408;
inline constexpr int ID_VIEW_LARGEICON = 59409;
inline constexpr int ID_VIEW_LIST = 59410;
inline constexpr int ID_VIEW_DETAILS = 59411;

inline constexpr int ID_SEPARATOR = 0;

}  // namespace tarvik
