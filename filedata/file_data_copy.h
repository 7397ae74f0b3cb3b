#pragma once
// Copies a file's data, mapped by FileDataMap, from the drive to an output: exactly the
// file's length, zeros for sparse runs and past the initialized size, compressed units
// decompressed, and zeros (counted) for sectors that cannot be read.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "common/reporting.h"
#include "disk/sector_source.h"
#include "filedata/file_data_map.h"

namespace tarvik {

class DataOutput {
  public:
    virtual ~DataOutput() = default;
    // False when the bytes could not all be written.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
};

// An output that appends to a vector in memory, for data read to be looked at rather
// than written out.
class VectorOutput final : public DataOutput {
  public:
    explicit VectorOutput(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    bool Write(std::span<const std::uint8_t> bytes) override {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return true;
    }

  private:
    std::vector<std::uint8_t>& bytes_;
};

// Bytes of a file: `length` of them from `offset`.
struct FileRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
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
    // When set, told where the bytes written as zeros because they could not be read
    // lie in the file (neighbouring ranges joined; a compression unit that cannot be read
    // or decompressed whole). A range may reach past the file's end in its last cluster.
    std::vector<FileRange>* unreadableRanges = nullptr;
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

// How many bytes CopyFileData writes for the map: the real size, cut to what the runs
// can place and the volume can hold (volumeSectors 0: unbounded).
std::uint64_t CopyLength(const FileDataMap& map, std::uint32_t sectorsPerCluster,
                         std::uint64_t volumeSectors);

// Clusters of a file lying end to end on the drive: they hold the file's bytes from
// `offset` on.
struct DataPiece {
    DriveSector sector;
    std::uint64_t offset = 0;
    std::uint64_t clusters = 0;
};

// The pieces of a plain file, in file order: one not compressed, with no sparse run, no
// missing extent and no run outside the volume, initialized to its length, whose runs
// lie end to end from its first cluster. Its bytes are then exactly its pieces' bytes
// cut at CopyLength, and each piece can be copied on its own, in any order. Nothing for
// any other file (CopyFileData writes those whole, from the front).
std::optional<std::vector<DataPiece>> PlainPieces(const FileDataMap& map,
                                                  std::uint32_t sectorsPerCluster,
                                                  std::uint64_t volumeSectors);

// Writes bytes at a position of the file being recovered.
class PositionedOutput {
  public:
    virtual ~PositionedOutput() = default;
    virtual bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// Copies one piece of a plain file whose length is fileLength: read in requests of up to
// maxRequestBytes, a request that fails or comes back short retried sector by sector
// (the unreadable ones, and those past the disk's end, written as zeros and counted),
// each request written at its place in the file as it
// comes in. `written` is told the bytes of each request written. The progress in the
// options is not used.
CopyResult CopyPiece(const DataPiece& piece, std::uint64_t fileLength, SectorSource& source,
                     std::uint32_t sectorsPerCluster, PositionedOutput& output,
                     const CopyOptions& options, const std::function<void(std::uint64_t)>& written);

}  // namespace tarvik
