#pragma once
// The check marks of a scanned drive, as the folder tree shows them and the recovery
// writer reads them: one implementation for the desktop program's check boxes and the
// command line's selected tree paths, so that what is shown checked is what is written.
//
// The tree is the folder placement of the catalogue (catalogue/tree_placement.h): every
// entry once, each folder directly followed by its whole subtree. A mark is kept in the
// entry's own check state; the root, which is no entry, keeps its mark here. Checking or
// unchecking a folder marks its whole subtree; every change then recomputes the folders
// above it from their direct children: all checked gives checked, none checked (and none
// partly) gives unchecked, anything else partly checked.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_table.h"
#include "catalogue/tree_placement.h"

namespace tarvik {

enum class CheckMark : std::uint8_t { kUnchecked, kChecked, kPartly };

// What the checked entries add up to; partly checked folders are not counted.
struct SelectionTotals {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t bytes = 0;
};

class CheckTree {
  public:
    // Places the catalogue's entries; the catalogue must outlive the tree and keep its
    // entries (marks are written into them).
    CheckTree(Catalogue& catalogue, const FolderTable& folders);

    // Every entry in placement order, with its folder's position and its name.
    const std::vector<PlacedEntry>& Placed() const { return placed_; }
    // The tree path of the entry at `position` ("Root/a/b.txt", or "?/x" for an entry no
    // folder holds); built on each call, in the length of the path.
    std::string PathOf(std::size_t position) const { return PlacedPath(placed_, position); }
    // The placement position of the folder holding the entry at `position`; nothing
    // for the root's own contents and for entries no folder holds.
    std::optional<std::size_t> ParentOf(std::size_t position) const;
    // The first placement position of a tree path, as Placed() spells it. Two entries
    // of one folder may share a name, and so a path.
    std::optional<std::size_t> Find(const std::string& treePath) const;
    // Every placement position of a tree path, in placement order.
    std::vector<std::size_t> FindAll(const std::string& treePath) const;

    CheckMark MarkOf(std::size_t position) const;
    CheckMark RootMark() const { return rootMark_; }

    // Checks or unchecks one entry: a folder with everything below it, or one file.
    void SetChecked(std::size_t position, bool checked);
    // Select All and Unselect All: every entry, and the root.
    void SetAllChecked(bool checked);

    // Unchecks everything, then checks each tree path: "Root" for everything, a folder
    // with everything inside it, or one file. Trailing '/' are ignored. Returns the first
    // path that names no entry (what was checked before it stays checked).
    std::optional<std::string> SelectPaths(const std::vector<std::string>& treePaths);

    SelectionTotals Totals() const;

  private:
    void SetEntryMark(std::size_t position, CheckMark mark);
    // The end of the subtree of the folder at `position` (one past its last entry).
    std::size_t SubtreeEnd(std::size_t position) const;
    void RecomputeAbove(std::size_t position);
    CheckMark MarkFromChildren(std::size_t folderPosition) const;
    void RecomputeRoot();

    Catalogue& catalogue_;
    std::vector<PlacedEntry> placed_;
    // Placement position of each entry's folder; kNoParent for the root's contents and
    // for unplaced entries.
    static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);
    std::vector<std::size_t> parent_;
    // Direct children of each position, in placement order: those of position p are
    // children_[childStart_[p] .. childStart_[p + 1]). The root's are rootChildren_.
    std::vector<std::size_t> childStart_;
    std::vector<std::size_t> children_;
    std::vector<std::size_t> rootChildren_;
    // Positions of the entries no folder holds ("?/NAME").
    std::vector<std::size_t> unplaced_;
    CheckMark rootMark_ = CheckMark::kUnchecked;
};

}  // namespace tarvik
