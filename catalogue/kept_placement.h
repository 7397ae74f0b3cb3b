#pragma once
// A folder placement kept beside a catalogue (a saved scan's file), checked against the
// catalogue before it is read in place of a placement made again: it must be, entry for
// entry, the placement PlaceEntries makes of that catalogue (catalogue/tree_placement.h).
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/tree_placement.h"

namespace tarvik {

// A checked placement, kept alive by `keeper`, and the placement position of each
// catalogue entry.
struct KeptPlacement {
    std::shared_ptr<const void> keeper;
    std::span<const PlacedEntry> placed;
    std::vector<std::uint32_t> positionOfIndex;
};

// Why `placed` is not PlaceEntries(catalogue, BuildFolderTable(catalogue)), in words;
// nothing when it is, and then `positionOfIndex` holds each entry's position. One pass
// in placement order: every entry once; each folder's contents directly after it, one
// level down, its folders in stored order before its files in stored order, all the
// entries whose parent number is its own when it is the first placed folder with that
// number, none otherwise; last, in stored order, every entry whose parent number no
// placed folder has.
std::optional<std::string> PlacementMismatch(const Catalogue& catalogue,
                                             std::span<const PlacedEntry> placed,
                                             std::vector<std::uint32_t>& positionOfIndex);

}  // namespace tarvik
