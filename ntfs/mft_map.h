#pragma once
// Where each MFT record lies on the drive: record k is the two sectors at 2k..2k+1 of
// the MFT's data, which may be split over two runs.
#include <cstdint>
#include <optional>
#include <vector>

#include "ntfs/file_record.h"
#include "ntfs/run_table.h"

namespace tarvik {

inline constexpr std::uint32_t kSectorsPerRecord = 2;

struct RecordPlace {
    std::uint64_t firstSector = 0;              // relative to the drive's first sector
    std::optional<std::uint64_t> secondSector;  // set when the record's second half
                                                // starts another run
};

class MftMap {
  public:
    MftMap() = default;
    MftMap(const RunTable& mftRuns, std::uint32_t sectorsPerCluster);

    // Nothing for a record number at or past the MFT's end.
    std::optional<RecordPlace> Locate(std::uint64_t recordNumber) const;
    std::uint64_t totalSectors() const { return total_; }
    std::uint64_t recordCount() const { return total_ / kSectorsPerRecord; }
    const std::vector<PlacedRun>& runs() const { return runs_; }

  private:
    std::vector<PlacedRun> runs_;
    std::vector<std::uint64_t> runEnds_;  // cumulative sectors after each run
    std::uint64_t total_ = 0;
};

}  // namespace tarvik
