#pragma once
// The clusters a carving may look at: those $Bitmap marks free and that no catalogued
// file claims. A deleted file whose record survives claims its clusters (the record
// pass recovers it, with its name), so only data whose record is gone is left.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/reporting.h"

namespace tarvik {

class ScanEngine;

struct ClusterExtent {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// Marks clusters, one bit each; clusters past its end read as taken.
class ClusterMarks {
  public:
    explicit ClusterMarks(std::vector<std::uint8_t> bits) : bits_(std::move(bits)) {}
    std::uint64_t clusters() const { return std::uint64_t{bits_.size()} * 8; }
    void Mark(std::uint64_t first, std::uint64_t count);
    bool Marked(std::uint64_t cluster) const;
    // The runs of unmarked clusters below `limit`, in disk order.
    std::vector<ClusterExtent> Unmarked(std::uint64_t limit) const;

  private:
    std::vector<std::uint8_t> bits_;
};

struct CarvableClusters {
    std::vector<ClusterExtent> extents;
    std::uint64_t clusters = 0;  // in all extents
    std::string failure;         // why there are none, when the map could not be made
};

// Reads $Bitmap and the data runs of every record in the MFT (in use or not) and of the
// records the advance search found outside it.
CarvableClusters FindCarvableClusters(ScanEngine& engine, const StopFlag* stop);

}  // namespace tarvik
