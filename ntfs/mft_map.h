#pragma once
// Where each MFT record lies on the drive: record k is the record-size sectors from
// k x record size of the MFT's data, which may be split over several runs.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/positions.h"
#include "ntfs/file_record.h"
#include "ntfs/run_list.h"

namespace tarvik {

// The sectors of one record: one piece, or one per run the record is split over.
struct RecordPlace {
    struct Piece {
        DriveSector start;
        std::uint32_t sectors = 0;
    };
    std::array<Piece, kMaxRecordSectors> pieces{};
    std::size_t count = 0;

    DriveSector first() const { return pieces[0].start; }
};

class MftMap {
  public:
    MftMap() = default;
    // The MFT's data runs in order, clusters of `sectorsPerCluster` sectors, records of
    // `recordSectors` sectors. The runs end at the first one whose place overflows or
    // reaches past the volume's `volumeSectors` (that run is cut at the volume's end):
    // the number of records, and with it every walk over them, is bounded by what the
    // volume can hold, whatever record 0 claims.
    MftMap(const std::vector<DataRun>& mftRuns, std::uint32_t sectorsPerCluster,
           std::uint32_t recordSectors, std::uint64_t volumeSectors = UINT64_MAX);

    // Nothing for a record number at or past the MFT's end.
    std::optional<RecordPlace> Locate(RecordNumber record) const;
    std::uint64_t totalSectors() const { return total_; }
    std::uint64_t recordCount() const { return recordSectors_ ? total_ / recordSectors_ : 0; }
    std::uint32_t recordSectors() const { return recordSectors_; }
    const std::vector<PlacedRun>& runs() const { return runs_; }

  private:
    std::vector<PlacedRun> runs_;
    std::vector<std::uint64_t> runEnds_;  // cumulative sectors after each run
    std::uint64_t total_ = 0;
    std::uint32_t recordSectors_ = 0;
};

}  // namespace tarvik
