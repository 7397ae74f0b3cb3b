#include "disk/sector_source.h"

namespace tarvik {

bool DiskSectorSource::Read(DriveSector sector, std::span<std::uint8_t> buffer) {
    const auto onDisk = OnDisk(sector, first_);
    return onDisk && disk_.Read(*onDisk, buffer);
}

}  // namespace tarvik
