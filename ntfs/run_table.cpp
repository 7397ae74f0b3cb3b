#include "ntfs/run_table.h"

namespace tarvik {

bool RunTable::Append(const RunEntry& entry) {
    if (Full()) return false;
    entries_.push_back(entry);
    return true;
}

std::uint64_t RunTable::TotalSectors() const {
    std::uint64_t sum = 0;
    for (const RunEntry& entry : entries_) sum += entry.lengthSectors;
    return sum;
}

std::int64_t RunWalker::SignedDelta(std::uint32_t raw, std::uint8_t width) {
    if (width == 0 || width > 4) return 0;
    const unsigned bits = 8u * width;
    const std::uint64_t signBit = std::uint64_t{1} << (bits - 1);
    const std::uint64_t value = raw & ((std::uint64_t{1} << bits) - 1);
    if ((value & signBit) == 0) return static_cast<std::int64_t>(value);
    return static_cast<std::int64_t>(value) - static_cast<std::int64_t>(std::uint64_t{1} << bits);
}

std::optional<PlacedRun> RunWalker::Next() {
    if (index_ >= entries_.size()) return std::nullopt;
    const RunEntry& entry = entries_[index_];
    PlacedRun run;
    run.lengthSectors = entry.lengthSectors;
    if (entry.isSparse()) {
        if (entry.tag == kFirstRunTag) start_ = 0;
        run.sparse = true;
    } else {
        const std::int64_t clusters = entry.tag == kFirstRunTag
                                          ? static_cast<std::int64_t>(entry.rawCluster)
                                          : SignedDelta(entry.rawCluster, entry.clusterWidth);
        const std::int64_t base = entry.tag == kFirstRunTag ? 0 : start_;
        const std::int64_t next = base + clusters * static_cast<std::int64_t>(sectorsPerCluster_);
        if (next < 0) {
            index_ = entries_.size();
            return std::nullopt;
        }
        start_ = next;
    }
    run.startSector = run.sparse ? 0 : static_cast<std::uint64_t>(start_);
    ++index_;
    return run;
}

std::vector<PlacedRun> PlaceRuns(const RunTable& table, std::uint32_t sectorsPerCluster) {
    std::vector<PlacedRun> runs;
    RunWalker walker(table, sectorsPerCluster);
    while (auto run = walker.Next()) runs.push_back(*run);
    return runs;
}

}  // namespace tarvik
