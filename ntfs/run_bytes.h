#pragma once
// Reads the bytes one data run holds, for the small non-resident values the scan needs
// whole (an attribute list, the MFT's own bitmap).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "disk/sector_source.h"
#include "ntfs/run_list.h"

namespace tarvik {

// Appends the first `wanted` bytes of the run to `out`: zeros for a sparse run. False,
// appending nothing, when its clusters cannot be placed or read.
bool AppendRunBytes(SectorSource& source, const DataRun& run, std::uint32_t sectorsPerCluster,
                    std::size_t wanted, std::vector<std::uint8_t>& out);

}  // namespace tarvik
