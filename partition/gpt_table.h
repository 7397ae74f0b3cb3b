#pragma once
// Finding a disk's GUID partition table: the primary header at LBA 1 with its entry
// array, both checked by their CRC-32s, or, when either is damaged, the backup header
// at the disk's last LBA with its own array. LBAs count in the disk's logical sectors
// (512 or 4096 bytes); the results are converted to the 512-byte units the rest of the
// program counts in.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "partition/gpt_entry.h"

namespace tarvik {

// Reads bytes at a byte offset of the disk (a multiple of 512); false when it cannot.
using DiskBytesReader = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> bytes)>;

struct GptTable {
    std::uint32_t sectorSize = 512;    // the logical sector size the table counts in
    bool fromBackup = false;           // the primary header or its array was damaged
    std::vector<GptEntry> partitions;  // the used entries, in table order
};

// The table read with logical sectors of `sectorSize` bytes on a disk of `diskBytes`.
std::optional<GptTable> ReadGptTable(const DiskBytesReader& read, std::uint64_t diskBytes,
                                     std::uint32_t sectorSize);

// The table at whichever sector size finds one: the device's own first when it is
// known, then 512 and 4096 (an image file tells its sector size only by where its
// header lies).
std::optional<GptTable> FindGptTable(const DiskBytesReader& read, std::uint64_t diskBytes,
                                     std::optional<std::uint32_t> deviceSectorSize);

// An entry's place in 512-byte units: first sector and the sector after its last one;
// nothing when that overflows.
struct GptExtent {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};
std::optional<GptExtent> ExtentInUnits(const GptEntry& entry, std::uint32_t sectorSize);

}  // namespace tarvik
