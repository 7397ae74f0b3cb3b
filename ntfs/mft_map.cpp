#include "ntfs/mft_map.h"

#include <algorithm>

namespace tarvik {

MftMap::MftMap(const std::vector<DataRun>& mftRuns, std::uint32_t sectorsPerCluster,
               std::uint32_t recordSectors, std::uint64_t volumeSectors)
    : recordSectors_(std::min<std::uint32_t>(recordSectors, kMaxRecordSectors)) {
    for (const DataRun& run : mftRuns) {
        auto placed = PlaceRun(run, sectorsPerCluster);
        if (!placed || placed->start.value() >= volumeSectors) break;
        const bool cut = placed->lengthSectors > volumeSectors - placed->start.value();
        if (cut) placed->lengthSectors = volumeSectors - placed->start.value();
        if (placed->lengthSectors == 0) continue;
        const auto total = CheckedAdd(total_, placed->lengthSectors);
        if (!total) break;
        runs_.push_back(*placed);
        total_ = *total;
        runEnds_.push_back(total_);
        if (cut) break;
    }
}

std::optional<RecordPlace> MftMap::Locate(RecordNumber record) const {
    if (record.value() >= recordCount()) return std::nullopt;
    std::uint64_t s = record.value() * recordSectors_;  // below total_: no overflow
    std::uint32_t left = recordSectors_;
    RecordPlace place;
    // The first run whose end lies past sector s holds the record's first sector.
    auto i = static_cast<std::size_t>(std::upper_bound(runEnds_.begin(), runEnds_.end(), s) -
                                      runEnds_.begin());
    for (; left > 0; ++i) {
        if (i >= runs_.size()) return std::nullopt;
        const std::uint64_t runBegin = runEnds_[i] - runs_[i].lengthSectors;
        const std::uint64_t offset = s - runBegin;
        const auto take =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(left, runEnds_[i] - s));
        place.pieces[place.count++] = {DriveSector(runs_[i].start.value() + offset), take};
        s += take;
        left -= take;
    }
    return place;
}

}  // namespace tarvik
