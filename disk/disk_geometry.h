#pragma once
#include <cstdint>
#include <optional>

#include "common/reporting.h"
#include "disk/drive_code.h"

namespace tarvik {

// Geometry as the disk list and the drive search see it: narrow fields derived from
// the true size with 255 heads and 63 sectors per track.
struct DiskGeometry {
    std::uint16_t cylinders = 0;  // low 16 bits of the cylinder count
    std::uint8_t heads = 0;
    std::uint8_t sectorsPerTrack = 0;
};

inline constexpr std::uint32_t kGeometryHeads = 255;
inline constexpr std::uint32_t kGeometrySectorsPerTrack = 63;

// Counts the disks of the disk table from disk 0 up to the first one that cannot be
// opened. True when at least one disk was found.
bool CountPhysicalDisks(std::uint8_t& count);

// The size in bytes of the device or image behind a drive code.
std::optional<std::uint64_t> DiskByteSize(DriveCode code);

// The logical sector size a block device reports (BLKSSZGET): 512, or 4096 on a 4Kn
// disk. Nothing for an image file, which has no sector size of its own (its partition
// table tells), and for a device that cannot be opened.
std::optional<std::uint32_t> DeviceLogicalSectorSize(DriveCode code);

// Reads the geometry. When the device cannot be opened, shows
// "Error Code %lu on Disk %u in GetDiskParameters" once and returns false.
bool GetDiskParameters(DriveCode code, std::uint16_t& cylinders, std::uint8_t& heads,
                       std::uint8_t& sectorsPerTrack, Notifier* notifier = nullptr);

// The true number of 512-byte sectors, all 64 bits; 0 when unknown. Returns the result
// of GetDiskParameters. A short cylinder field must not shrink the disk: on a large disk
// it would leave most of it unsearched.
bool GetDiskSectorCount(DriveCode code, std::uint64_t& totalSectors, Notifier* notifier = nullptr);

DiskGeometry GeometryForSectors(std::uint64_t sectors);

}  // namespace tarvik
