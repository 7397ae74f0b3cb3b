#include "disk/sector_source.h"

#include "disk/sector_reader.h"

namespace tarvik {

bool DiskSectorSource::Read(DriveSector sector, std::span<std::uint8_t> buffer) {
    const auto onDisk = OnDisk(sector, first_);
    return onDisk && ReadSectorsAt(code_, onDisk->value(), buffer);
}

}  // namespace tarvik
