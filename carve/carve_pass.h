#pragma once
// The carving of free clusters: every cluster of the given extents is read once, in disk
// order and in large requests, and each whose first bytes carry a known signature is
// handed to its format's reader. A file the reader accepts covers the clusters up to
// its end, which are not looked at again.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "carve/format_readers.h"
#include "carve/free_clusters.h"
#include "common/reporting.h"
#include "disk/sector_source.h"

namespace tarvik {

struct CarvedFile {
    CarvedType type = CarvedType::kJpeg;
    std::uint64_t firstCluster = 0;
    std::uint64_t length = 0;
    bool partial = false;
    std::string_view extension;  // a literal of the readers
};

struct CarveOptions {
    // Bytes read per request while no candidate is being looked at.
    std::size_t requestBytes = 8u << 20;
    // The most bytes a reader is shown from a candidate's first byte: a file whose
    // structure goes on past it is cut there (formats stating their length excepted).
    std::size_t windowBytes = 64u << 20;
};

struct CarveOutcome {
    std::vector<CarvedFile> files;
    std::uint64_t clustersRead = 0;
    std::uint64_t failedReads = 0;  // requests that came back short (zeros in their place)
    bool stopped = false;
};

// Carves the extents of `source` (clusters of sectorsPerCluster 512-byte sectors). The
// progress goes over the extents' clusters; a stop request ends it between requests,
// with the files found until then.
CarveOutcome CarveClusters(SectorSource& source, std::span<const ClusterExtent> extents,
                           std::uint32_t sectorsPerCluster, ProgressSink& progress,
                           const StopFlag* stop, const CarveOptions& options = {});

}  // namespace tarvik
