#pragma once
// Where a file's unnamed data lies: its resident value, or its runs gathered from the
// base record or, through the attribute list, from every extension record in list
// order, with the sizes that say how much of it is the file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/byte_view.h"
#include "disk/sector_source.h"
#include "ntfs/attribute.h"
#include "ntfs/attribute_list.h"
#include "ntfs/run_list.h"

namespace tarvik {

class ScanEngine;

struct FileDataMap {
    bool resident = false;
    std::vector<std::uint8_t> residentValue;
    // Runs with their first cluster within the whole attribute (extents placed at their
    // starting VCN), in list order.
    std::vector<DataRun> runs;
    std::uint64_t realSize = 0;         // the file's length
    std::uint64_t initializedSize = 0;  // bytes past it read as zeros
    std::uint64_t allocatedSize = 0;
    // Clusters per compression unit of a compressed attribute (16, the only unit NTFS
    // writes); 0 when not compressed.
    std::uint32_t compressionUnitClusters = 0;
    // Extents the attribute list names that could not be found; their clusters are
    // missing from `runs` and read as zeros.
    std::size_t extentsMissed = 0;
    // Every extent's run list decoded whole. A list cut short (a fault in its bytes, or
    // runs that stop before the extent's last VCN) leaves clusters no run places: they
    // are missing, read as zeros and counted as unreadable.
    bool runsWhole = true;
};

// Whether a non-resident attribute's run list decodes whole: it ends at its terminator
// and its runs place every cluster from the extent's first VCN to its last.
bool RunListWhole(const Attribute& attribute);
// The same for the attribute's run list decoded already.
bool RunListWhole(const Attribute& attribute, const DecodedRunList& decoded);

// Whether a non-resident data attribute's size (a damaged field may say 2^62) claims
// more than it can place: more than its allocation or, when this extent is the whole
// attribute (no attribute list), more than its clusters up to its last VCN hold.
bool DataSizePastRuns(const Attribute& attribute, std::uint64_t clusterBytes, bool soleExtent);
// The same for a file's data map: more than its allocation, or than its runs place.
bool DataSizePastRuns(const FileDataMap& map, std::uint64_t clusterBytes);

// The data map of a fixed-up base record. `fetch` gets extension records by number (raw
// bytes; they are fixed up here and must name `recordNumber` as their base). Nothing
// when the record has no unnamed $DATA in itself or its extensions.
std::optional<FileDataMap> MapFileData(ByteView record, std::uint32_t recordNumber,
                                       const RecordFetcher& fetch, SectorSource& source,
                                       std::uint32_t sectorsPerCluster);

// The data map of the file with record number `recordNumber` on the engine's drive:
// the record must read, begin "FILE" and take its fix-up.
std::optional<FileDataMap> MapEngineFileData(ScanEngine& engine, std::uint32_t recordNumber);
// The same from that record, already read and fixed up.
std::optional<FileDataMap> MapEngineFileData(ScanEngine& engine, std::uint32_t recordNumber,
                                             ByteView record);

}  // namespace tarvik
