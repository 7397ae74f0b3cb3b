#include "ntfs/run_bytes.h"

#include "common/positions.h"

namespace tarvik {

bool AppendRunBytes(SectorSource& source, const DataRun& run, std::uint32_t sectorsPerCluster,
                    std::size_t wanted, std::vector<std::uint8_t>& out) {
    constexpr std::size_t kSectorBytes = 512;
    const std::size_t sectors = (wanted + kSectorBytes - 1) / kSectorBytes;
    std::vector<std::uint8_t> buffer(sectors * kSectorBytes, 0);
    if (!run.sparse) {
        const auto start = ClusterStart(run.lcn, sectorsPerCluster);
        if (!start || !source.Read(*start, buffer)) return false;
    }
    out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(wanted));
    return true;
}

}  // namespace tarvik
