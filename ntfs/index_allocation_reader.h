#pragma once
// Reads every INDX block of a folder's index allocation and hands out its entries.
#include <cstddef>
#include <cstdint>

#include <vector>
#include "disk/sector_source.h"
#include "ntfs/index_entry.h"

#include "ntfs/run_list.h"

namespace tarvik {

struct IndexAllocationLimits {
    std::size_t maxBlocks = 1u << 20;     // blocks examined at most (4 GiB of 4 KiB blocks)
    std::uint32_t maxReadSectors = 8192;  // one read request: up to 4 MiB
};

struct IndexAllocationResult {
    std::size_t blocksAccepted = 0;
    std::size_t blocksSkipped = 0;  // not "INDX", torn (fix-up), or unreadable
    std::size_t blocksSparse = 0;   // touching a sparse run: hold no block
    std::size_t failedReads = 0;
    std::size_t entriesVisited = 0;
    bool hitBlockLimit = false;
};

// Reads the blocks of `blockSectors` sectors laid end to end over the allocation's
// runs (clusters of `sectorsPerCluster` sectors), so a block may straddle runs: its sectors are
// joined from consecutive runs. A block touching a sparse run is not read; the reading ends at a
// run whose place does not fit 64 bits. A block that fails its signature or fix-up is skipped and
// the later blocks are still read. Reads go a whole run (up to maxReadSectors) at a time. Calls the
// visitor for every accepted entry (any namespace but DOS-only) of every good block, in block
// order.
IndexAllocationResult ReadIndexAllocation(const std::vector<DataRun>& runs,
                                          std::uint32_t sectorsPerCluster,
                                          std::uint32_t blockSectors, SectorSource& source,
                                          const IndexEntryVisitor& visit,
                                          const IndexAllocationLimits& limits = {});

}  // namespace tarvik
