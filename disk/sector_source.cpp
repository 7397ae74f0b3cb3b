#include "disk/sector_source.h"

namespace tarvik {

bool DiskSectorSource::Read(DriveSector sector, std::span<std::uint8_t> buffer) {
    const auto onDisk = OnDisk(sector, first_);
    return onDisk && disk_ && disk_->Read(*onDisk, buffer);
}

std::optional<std::uint64_t> DiskSectorSource::SectorCount() {
    const auto disk = disk_ ? disk_->SectorCount() : std::nullopt;
    if (!disk) return std::nullopt;
    return *disk > first_.value() ? *disk - first_.value() : 0;
}

}  // namespace tarvik
