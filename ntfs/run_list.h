#pragma once
// Decoding of an NTFS run list (the mapping pairs of a non-resident attribute). Each run
// starts with a header byte: the width of its length field in the low nibble, the width
// of its signed cluster delta in the high nibble (0: a sparse run with no clusters).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_view.h"
#include "ntfs/run_table.h"

namespace tarvik {

// Decodes the run list into `table`: the first appended run is tagged 'S', later ones
// 'M'. A sparse run is appended as a RunEntry with clusterWidth 0 and decoding goes on.
// The list ends at a zero header byte, at a length width of 0 or over 8, at a cluster
// width over 4 (the delta would not fit the 32-bit cluster field), at a run whose length
// in sectors does not fit 32 bits, at the end of the bytes, or when the table is full.
// Returns the sum of the appended run lengths in sectors.
std::uint64_t DecodeRunList(ByteView runList, std::uint32_t sectorsPerCluster, RunTable& table);

// One run with 64-bit values, for readers that want clusters rather than sectors.
struct DataRun {
    std::uint64_t vcn = 0;  // first cluster of the run within the attribute
    std::uint64_t lengthClusters = 0;
    std::int64_t lcnDelta = 0;  // as stored; 0 for a sparse run
    std::uint64_t lcn = 0;      // first cluster on the volume; 0 for a sparse run
    bool sparse = false;
};

struct DecodedRunList {
    std::vector<DataRun> runs;
    bool complete = false;  // ended at the zero header byte, not at a fault
};

// Decodes the whole run list with widths up to 8 bytes. It ends, incomplete, at a
// malformed header, at the end of the bytes, at a cluster number below 0 or a position
// that overflows, or after maxRuns runs.
DecodedRunList DecodeRuns(ByteView runList, std::size_t maxRuns = 1'000'000);

}  // namespace tarvik
