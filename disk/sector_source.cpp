#include "disk/sector_source.h"

#include "disk/sector_reader.h"

namespace tarvik {

bool DiskSectorSource::Read(std::uint64_t driveSector, std::span<std::uint8_t> buffer) {
    return ReadSectorsAt(code_, first_ + driveSector, buffer);
}

}  // namespace tarvik
