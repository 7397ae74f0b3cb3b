#include "ntfs/mft_map.h"

#include <algorithm>

namespace tarvik {

MftMap::MftMap(const RunTable& mftRuns, std::uint32_t sectorsPerCluster) {
    for (const PlacedRun& run : PlaceRuns(mftRuns, sectorsPerCluster)) {
        if (run.lengthSectors == 0) continue;
        runs_.push_back(run);
        total_ += run.lengthSectors;
        runEnds_.push_back(total_);
    }
}

std::optional<RecordPlace> MftMap::Locate(std::uint64_t recordNumber) const {
    if (recordNumber >= recordCount()) return std::nullopt;
    const std::uint64_t s = recordNumber * kSectorsPerRecord;
    // The first run whose end lies past sector s holds the record's first sector.
    const auto it = std::upper_bound(runEnds_.begin(), runEnds_.end(), s);
    const std::size_t i = static_cast<std::size_t>(it - runEnds_.begin());
    const std::uint64_t runBegin = runEnds_[i] - runs_[i].lengthSectors;
    RecordPlace place;
    place.firstSector = runs_[i].startSector + (s - runBegin);
    if (runEnds_[i] - s == 1) {
        if (i + 1 >= runs_.size()) return std::nullopt;
        place.secondSector = runs_[i + 1].startSector;
    }
    return place;
}

}  // namespace tarvik
