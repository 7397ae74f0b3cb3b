#pragma once
#include <cstdint>
#include <optional>

#include "common/reporting.h"

namespace tarvik {

class Disk;

// Geometry as the disk list and the drive search see it: narrow fields derived from
// the true size with 255 heads and 63 sectors per track.
struct DiskGeometry {
    std::uint16_t cylinders = 0;  // low 16 bits of the cylinder count
    std::uint8_t heads = 0;
    std::uint8_t sectorsPerTrack = 0;
};

inline constexpr std::uint32_t kGeometryHeads = 255;
inline constexpr std::uint32_t kGeometrySectorsPerTrack = 63;

DiskGeometry GeometryForSectors(std::uint64_t sectors);

// The true number of 512-byte sectors of the disk, all 64 bits; 0 when unknown. When
// the disk cannot be opened, shows "Error Code %lu on Disk %u in GetDiskParameters"
// once and returns false. A short cylinder field must not shrink the disk: on a large
// disk it would leave most of it unsearched.
bool GetDiskSectorCount(Disk& disk, std::uint64_t& totalSectors, Notifier* notifier = nullptr);

}  // namespace tarvik
