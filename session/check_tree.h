#pragma once
// The check marks of a scanned drive, as the folder tree shows them and the recovery
// writer reads them: one implementation for the desktop program's check boxes and the
// command line's selected tree paths, so that what is shown checked is what is written.
//
// The tree is the folder placement of the catalogue (catalogue/tree_placement.h): every
// entry once, each folder directly followed by its whole subtree. The tree owns the
// marks, one per catalogue entry (catalogue/check_marks.h); the root, which is no entry,
// keeps its own. Checking or
// unchecking a folder marks its whole subtree; every change then recomputes the folders
// above it from their direct children: all checked gives checked, none checked (and none
// partly) gives unchecked, anything else partly checked.
//
// The same tree serves the desktop program's folder tree and file list: folder nodes
// with their sub-folders in name order, and the rows of each folder in catalogue order.
// Both views read every mark from here and change marks only through SetChecked,
// SetAllChecked and the toggles, so they cannot show a mark the recovery would not act on.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/check_marks.h"
#include "catalogue/folder_table.h"
#include "catalogue/kept_placement.h"
#include "catalogue/tree_placement.h"

namespace tarvik {

// What the checked entries add up to; partly checked folders are not counted.
struct SelectionTotals {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t bytes = 0;
};

class CheckTree {
  public:
    // Places the catalogue's entries, none checked; the catalogue must outlive the tree.
    CheckTree(const Catalogue& catalogue, const FolderTable& folders);
    // The same over a placement checked against the catalogue (PlacementMismatch said
    // nothing), read where it lies: whoever keeps it keeps it while the tree lives.
    CheckTree(const Catalogue& catalogue, KeptPlacement placement);

    // Every entry in placement order, with its folder's position.
    std::span<const PlacedEntry> Placed() const { return placed_.Span(); }
    // The tree path of the entry at `position` ("Root/a/b.txt", or "?/x" for an entry no
    // folder holds); built on each call, in the length of the path.
    std::string PathOf(std::size_t position) const {
        return PlacedPath(catalogue_, placed_.Span(), position);
    }
    // The placement position of the folder holding the entry at `position`; nothing
    // for the root's own contents and for entries no folder holds.
    std::optional<std::size_t> ParentOf(std::size_t position) const;
    // The first placement position of a tree path, as Placed() spells it. Two entries
    // of one folder may share a name, and so a path.
    std::optional<std::size_t> Find(const std::string& treePath) const;
    // Every placement position of a tree path, in placement order.
    std::vector<std::size_t> FindAll(const std::string& treePath) const;

    CheckMark MarkOf(std::size_t position) const {
        return marks_.Of(placed_[position].catalogueIndex);
    }
    // The marks by catalogue index: what a recovery of the checked entries reads.
    const CheckMarks& Marks() const { return marks_; }
    CheckMark RootMark() const { return rootMark_; }

    // Checks or unchecks one entry: a folder with everything below it, or one file.
    void SetChecked(std::size_t position, bool checked);
    // Select All and Unselect All: every entry, and the root.
    void SetAllChecked(bool checked);
    // The marks a recovery of the entry at `position` alone reads: it and everything
    // below it checked, the folders on the way to it partly checked. The tree's own
    // marks are left as they are.
    CheckMarks MarksOfOne(std::size_t position) const;

    // Unchecks everything, then checks each tree path: "Root" for everything, a folder
    // with everything inside it, or one file. Trailing '/' are ignored. Returns the first
    // path that names no entry (what was checked before it stays checked).
    std::optional<std::string> SelectPaths(const std::vector<std::string>& treePaths);

    // What the checked entries add up to: what a recovery of the checked entries writes.
    // An entry no folder holds is counted too: it is written beside Root (into Unplaced)
    // when it is checked, and so Select All comes to the scan's totals. Kept up to date
    // by every change; no walk of the catalogue.
    SelectionTotals Totals() const { return totals_; }
    // True while some entry is checked: what Recover Selected Files needs.
    bool AnyChecked() const { return totals_.files + totals_.folders > 0; }

    // ---- the folder tree: node 0 is the root, every other node a placed folder
    using FolderNode = std::uint32_t;
    static constexpr FolderNode kRootNode = 0;
    std::size_t FolderNodeCount() const { return nodePosition_.size(); }
    // Sub-folders of a node, by name ignoring ASCII case, equal names in placement order.
    std::span<const FolderNode> SubFolders(FolderNode node) const;
    // The node holding `node`; nothing for the root.
    std::optional<FolderNode> ParentFolder(FolderNode node) const;
    // The place of `node` among its parent's SubFolders (0 for the root).
    std::size_t IndexInParent(FolderNode node) const { return nodeIndexInParent_[node]; }
    // The placement position of a folder node; nothing for the root.
    std::optional<std::size_t> FolderPosition(FolderNode node) const;
    // The own number of a node's folder; kRootFolderNumber for the root.
    std::uint32_t FolderNumber(FolderNode node) const;
    CheckMark FolderMark(FolderNode node) const;
    // The node of a placed folder at `position`; nothing for a file, an unplaced entry.
    std::optional<FolderNode> NodeAt(std::size_t position) const;
    // The last node with that own number in a depth-first walk of the sorted tree (the
    // root for kRootFolderNumber); nothing when no shown folder has it.
    std::optional<FolderNode> LastNodeWithNumber(std::uint32_t number) const;
    // The placement position of the entry at a catalogue index.
    std::size_t PositionOfIndex(std::size_t catalogueIndex) const {
        return positionOfIndex_[catalogueIndex];
    }
    // The node whose list shows the entry at `position`; nothing for an unplaced entry.
    std::optional<FolderNode> HolderOf(std::size_t position) const;

    // ---- the file list: the direct contents of a folder node, files and folders, as
    // placement positions in catalogue order.
    std::span<const std::size_t> Rows(FolderNode node) const;

    // A click on a box: a checked or partly checked folder (or the root) is unchecked
    // with everything below it, an unchecked one checked. The same for one file row.
    void ToggleFolder(FolderNode node);
    void ToggleEntry(std::size_t position);

  private:
    // What both constructors do once the placement and positionOfIndex_ are there.
    void Build();
    void SetEntryMark(std::size_t position, CheckMark mark);
    // The end of the subtree of the folder at `position` (one past its last entry).
    std::size_t SubtreeEnd(std::size_t position) const;
    void RecomputeAbove(std::size_t position);
    CheckMark MarkFromChildren(std::size_t folderPosition) const;
    void RecomputeRoot();
    void LinkChildren();
    void BuildFolderNodes();
    // The entry's name as a tree path spells it.
    bool NameIs(std::size_t position, std::string_view name) const;

    // The placement the tree reads: its own, or one kept elsewhere. A copy of a tree
    // reads its own copy of its own placement.
    class Placement {
      public:
        explicit Placement(std::vector<PlacedEntry> own) : own_(std::move(own)), view_(own_) {}
        Placement(std::shared_ptr<const void> keeper, std::span<const PlacedEntry> kept)
            : keeper_(std::move(keeper)), view_(kept) {}
        Placement(const Placement& other)
            : keeper_(other.keeper_),
              own_(other.own_),
              view_(other.own_.empty() ? other.view_ : own_) {}
        Placement(Placement&&) = default;
        Placement& operator=(const Placement&) = delete;
        Placement& operator=(Placement&&) = delete;
        const PlacedEntry& operator[](std::size_t position) const { return view_[position]; }
        std::size_t size() const { return view_.size(); }
        std::span<const PlacedEntry> Span() const { return view_; }

      private:
        std::shared_ptr<const void> keeper_;
        std::vector<PlacedEntry> own_;
        std::span<const PlacedEntry> view_;
    };

    const Catalogue& catalogue_;
    Placement placed_;
    CheckMarks marks_;
    // Placement position of the entry's folder; kNoParent for the root's contents and
    // for unplaced entries.
    static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);
    std::size_t FolderOf(std::size_t position) const {
        const std::uint32_t folder = placed_[position].folder;
        return folder == kNoFolder ? kNoParent : folder;
    }
    // Direct children of each position, in placement order: those of position p are
    // children_[childStart_[p] .. childStart_[p + 1]). The root's are rootChildren_.
    // Positions fit in 32 bits (tree_placement.h).
    std::vector<std::uint32_t> childStart_;
    std::vector<std::size_t> children_;
    std::vector<std::size_t> rootChildren_;
    // Positions of the entries no folder holds ("?/NAME").
    std::vector<std::size_t> unplaced_;
    CheckMark rootMark_ = CheckMark::kUnchecked;

    // Entries placed under the root (the ones the folder tree shows).
    std::vector<bool> held_;
    // Folders by catalogue index: read in one pass, so that the walks in placement order
    // do not jump about the catalogue to ask.
    std::vector<bool> folderAt_;
    std::vector<std::uint32_t> positionOfIndex_;
    SelectionTotals totals_;
    SelectionTotals allTotals_;  // every entry: the totals of Select All
    // Folder nodes: placement position (unused for the root), parent, place in the
    // parent's list, and the sorted sub-folders of node n at
    // subFolders_[subStart_[n] .. subStart_[n + 1]).
    std::vector<std::size_t> nodePosition_;
    std::vector<FolderNode> nodeParent_;
    std::vector<std::size_t> nodeIndexInParent_;
    std::vector<std::size_t> subStart_;
    std::vector<FolderNode> subFolders_;
    std::vector<std::size_t> nodeRank_;  // depth-first rank in the sorted tree
};

}  // namespace tarvik
