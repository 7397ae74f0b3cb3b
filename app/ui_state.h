#pragma once
// What the windows of the desktop program share about what they show: whether the panes
// are filled, what is ticked, the sort of the file list, the last search and how the
// disk is to be searched. The command enabling rules read it; it is touched on the
// user-interface thread only.
#include <QString>
#include <cstdint>
#include <optional>

#include "session/find_entry.h"

namespace tarvik {

// How the drives of a chosen disk are to be found.
enum class DriveSearch {
    kPartitionTable,  // read the partition table (a table listing nothing falls back to a search)
    kWholeDisk,       // search every sector for NTFS boot sectors
    kCancelled,       // the user closed the choice
};

// What the panes show.
struct PaneState {
    bool listFilled = false;   // the file list shows a folder's rows
    bool viewsFilled = false;  // the tree and the list were filled after a scan
    bool deletedFoldersPresent = false;
};

// The ticked rows of the whole tree.
struct CheckedState {
    bool any = false;
    bool all = false;  // the Root itself is ticked
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t bytes = 0;
};

// The file list's sort: a header click flips `clickAscending`, and a click on another
// column than the last takes that direction for the refills too.
struct SortState {
    bool active = false;
    int column = 0;
    bool ascending = false;       // the direction a refill sorts with
    bool clickAscending = false;  // the direction the last header click asked for
};

// Find and Find Next.
struct FindState {
    QString text;
    FindOptions options;
    std::optional<std::uint64_t> lastMatch;  // catalogue index of the last match
    bool nextEnabled = false;
};

struct UiState {
    PaneState panes;
    CheckedState checked;
    SortState sort;
    FindState find;
    DriveSearch driveSearch = DriveSearch::kPartitionTable;
    bool filterActive = false;       // a file filter was set through Add File Filter
    bool advanceSearchDone = false;  // the drive was searched in depth already
};

}  // namespace tarvik
