#pragma once
// Copies a file's data, mapped by FileDataMap, from the drive to an output: exactly the
// file's length, zeros for sparse runs and past the initialized size, compressed units
// decompressed, and zeros (counted) for sectors that cannot be read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/reporting.h"
#include "disk/sector_source.h"
#include "recovery/file_data_map.h"

namespace tarvik {

class DataOutput {
  public:
    virtual ~DataOutput() = default;
    // False when the bytes could not all be written.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
};

struct CopyOptions {
    // The range is set to the file's sectors first, then the position to the sectors
    // written after each read request: the end of the range once the file is whole.
    ProgressSink* progress = nullptr;
    // Tested before every read request and every single-sector retry.
    const StopFlag* stop = nullptr;
    // The largest read request; whole runs are read up to this size at a time.
    std::size_t maxRequestBytes = 4u << 20;
    // The volume's size in 512-byte sectors. Clusters a run places past its end are not
    // read (they are written as zeros and counted as unreadable), and no file is written
    // longer than the volume: a size field or a run may claim anything, and NTFS holds a
    // longer file only as sparse or compressed data, far rarer than a damaged record.
    // 0 leaves both unbounded (tests of the copy alone).
    std::uint64_t volumeSectors = 0;
};

struct CopyResult {
    std::uint64_t bytesWritten = 0;
    // Sectors that could not be read, plus the sectors of compression units that could
    // not be decompressed; all written as zeros.
    std::uint64_t unreadableSectors = 0;
    bool stopped = false;
    bool writeFailed = false;
};

CopyResult CopyFileData(const FileDataMap& map, SectorSource& source,
                        std::uint32_t sectorsPerCluster, DataOutput& output,
                        const CopyOptions& options);

}  // namespace tarvik
