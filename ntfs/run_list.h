#pragma once
// Decoding of an NTFS run list (the mapping pairs of a non-resident attribute). Each run
// starts with a header byte: the width of its length field in the low nibble, the width
// of its signed cluster delta in the high nibble (0: a sparse run with no clusters).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/byte_view.h"
#include "common/failure.h"
#include "common/positions.h"

namespace tarvik {

struct DataRun {
    std::uint64_t vcn = 0;  // first cluster of the run within the attribute
    std::uint64_t lengthClusters = 0;
    std::int64_t lcnDelta = 0;  // as stored; 0 for a sparse run
    Cluster lcn;                // first cluster on the volume; 0 for a sparse run
    bool sparse = false;
};

// No real attribute has this many runs; a list that claims more is cut there.
inline constexpr std::size_t kMaxRuns = 1'000'000;

struct DecodedRunList {
    std::vector<DataRun> runs;
    bool complete = false;  // ended at the zero header byte, not at a fault
    // When not complete: why it ended, at which byte of the run list.
    Failure fault;
};

// Why a run list ended before its zero header byte.
inline constexpr const char* kMalformedRun = "malformed run";
inline constexpr const char* kRunListUnended = "run list without its end";
inline constexpr const char* kClusterOutOfRange = "run placed below cluster 0";
inline constexpr const char* kLengthOverflows = "run lengths past 2^64 clusters";
inline constexpr const char* kTooManyRuns = "too many runs";

// Decodes the whole run list with widths up to 8 bytes. It ends, incomplete, at a
// malformed header, at the end of the bytes, at a cluster number below 0 or a position
// that overflows, or after maxRuns runs. A sparse run is kept and decoding goes on.
DecodedRunList DecodeRuns(ByteView runList, std::size_t maxRuns = kMaxRuns);

// A run placed on the drive, in 512-byte sectors.
struct PlacedRun {
    DriveSector start;  // 0 for a sparse run
    std::uint64_t lengthSectors = 0;
    bool sparse = false;
};

// The run on the drive for clusters of `sectorsPerCluster` sectors; nothing when its
// start or its length does not fit 64 bits.
std::optional<PlacedRun> PlaceRun(const DataRun& run, std::uint32_t sectorsPerCluster);

}  // namespace tarvik
