#pragma once
// The shown paths of a whole placement, one after another, at the cost of each entry's own
// name: the folders above an entry are escaped and joined once, when the walk enters them,
// and kept while the entries below them follow.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/tree_placement.h"

namespace tarvik {

class ShownPathWalk {
  public:
    ShownPathWalk(const Catalogue& catalogue, std::span<const PlacedEntry> placed)
        : catalogue_(catalogue), placed_(placed) {}

    // Appends to `out` what ShownPlacedPath gives for `position`, byte for byte, and tells
    // whether it was shortened. Fastest in placement order; any order gives the same text.
    void AppendPath(std::string& out, std::size_t position, bool& shortened);

  private:
    void EnterFolder(std::uint32_t folder);
    void Push(std::uint32_t position);

    const Catalogue& catalogue_;
    std::span<const PlacedEntry> placed_;
    // The open chain of folders from the root down: each one's position, and the bytes its
    // path holds below the root name ("/A/B" for B). Only the bytes up to the shown limit
    // are kept in `chain_`; a longer chain is shown through ShownPlacedPath.
    std::vector<std::uint32_t> folders_;
    std::vector<std::size_t> chainBytes_;
    std::string chain_;
    std::string name_;
    std::vector<std::uint32_t> entering_;
};

}  // namespace tarvik
