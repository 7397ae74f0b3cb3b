#pragma once
// What a scan engine knows besides its catalogue, in plain values, so that a scan can be
// kept and the engine made again over the same drive without scanning it: the layout
// the boot sector gave, the counters, and where the drive-wide search found records.
// The MFT's own place is read again from the drive when the engine is made again.
#include <cstdint>
#include <utility>
#include <vector>

#include "scan/scan_engine.h"

namespace tarvik {

struct SnapshotFoundOrigin {
    std::uint32_t number = 0;
    std::uint16_t sequence = 0;
    bool numbered = false;
    bool inUse = false;
    std::uint8_t volume = 0;
};

struct SnapshotFoundVolume {
    std::uint32_t sectorsPerCluster = 0;
    bool verified = false;
    std::uint64_t start = 0;
};

struct ScanSnapshot {
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t bytesPerSector = 0;
    std::uint32_t recordSize = 0;
    std::uint64_t volumeSerial = 0;
    ScanCounters counters;
    bool advanceSearched = false;
    std::uint32_t unverifiedEntries = 0;
    std::uint32_t folderCounter = 0;
    std::uint32_t lostFolderCounter = 0;
    std::uint64_t reservedNumbersEnd = 0;
    std::vector<std::uint64_t> foundRecords;  // drive sectors
    std::vector<SnapshotFoundOrigin> foundOrigins;
    std::vector<SnapshotFoundVolume> foundVolumes;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> foundByNumber;
};

}  // namespace tarvik
