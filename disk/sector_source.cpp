#include "disk/sector_source.h"

namespace tarvik {

bool DiskSectorSource::Read(std::uint64_t driveSector, std::span<std::uint8_t> buffer) {
    const auto sector = OnDisk(DriveSector(driveSector), first_);
    return sector && disk_.Read(*sector, buffer);
}

}  // namespace tarvik
