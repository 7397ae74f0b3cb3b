#pragma once
// The folders of a catalogue, in catalogue order, as the housekeeping phase gathers
// them for the folder tree.
//
// The table holds positions into the catalogue, not copies of the entries, so there is
// no second copy to keep in step. Positions stay valid when the catalogue grows; the
// table must be rebuilt when the catalogue is cleared or replaced.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/number_index.h"
#include "common/reporting.h"

namespace tarvik {

class FolderTable {
  public:
    // Number of folders; the same as DirectoryCount().
    std::size_t Count() const { return folders_.size(); }
    bool Empty() const { return folders_.empty(); }
    // The catalogue position of the folder at `position` of the table (< Count()).
    std::size_t CatalogueIndex(std::size_t position) const { return folders_[position]; }
    std::span<const std::uint32_t> CatalogueIndexes() const { return folders_; }

    // Catalogue positions of the folders whose parent number is `parent`, in table order.
    IndexRange FoldersWithParent(std::uint32_t parent) const { return byParent_.Find(parent); }

    // Totals over the whole catalogue at build time: the sum of every entry's size
    // (files and folders, 64 bits so it cannot wrap) and the number of directories.
    std::uint64_t TotalSize() const { return totalSize_; }
    std::size_t DirectoryCount() const { return folders_.size(); }

  private:
    friend FolderTable BuildFolderTable(const Catalogue& catalogue, ProgressSink* progress);

    std::vector<std::uint32_t> folders_;
    NumberIndex byParent_;
    std::uint64_t totalSize_ = 0;
};

// One pass over the catalogue: the sizes summed, the directories gathered in catalogue
// order. When `progress` is given its position counts two for each entry passed over
// (2 x count at the end), set every few thousand entries; its range is the caller's to
// set.
FolderTable BuildFolderTable(const Catalogue& catalogue, ProgressSink* progress = nullptr);

}  // namespace tarvik
