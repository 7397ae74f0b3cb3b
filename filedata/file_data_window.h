#pragma once
// A window of a file's bytes exactly as the recovery writes them (sparse parts and bytes
// past the initialized size as zeros, compressed units decompressed), for a look at a
// file before it is recovered. The copy runs from the file's first byte, as only that
// order reads every kind of data alike; it ends as soon as the window is filled.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/reporting.h"
#include "disk/sector_source.h"
#include "filedata/file_data_copy.h"
#include "filedata/file_data_map.h"

namespace tarvik {

struct DataWindow {
    std::uint64_t offset = 0;         // where `bytes` begin in the file
    std::vector<std::uint8_t> bytes;  // shorter than asked for at the file's end
    std::uint64_t fileLength = 0;     // the length a recovery writes
    // The ranges of the window read as zeros because they could not be read, cut to it.
    std::vector<FileRange> unreadable;
    bool stopped = false;  // a stop request came before the window was filled
};

// Up to `length` bytes from `offset` of the file the map describes.
DataWindow ReadDataWindow(const FileDataMap& map, SectorSource& source,
                          std::uint32_t sectorsPerCluster, std::uint64_t volumeSectors,
                          std::uint64_t offset, std::size_t length, const StopFlag* stop);

}  // namespace tarvik
