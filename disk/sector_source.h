#pragma once
// Where the NTFS readers get their sectors from: the drive being scanned in the
// program, a byte buffer in tests and fuzz targets.
#include <cstdint>
#include <span>

#include "common/positions.h"
#include "disk/drive_code.h"
#include "disk/sector_reader.h"

namespace tarvik {

class SectorSource {
  public:
    virtual ~SectorSource() = default;
    // Reads buffer.size() bytes (a multiple of 512) at a sector relative to the first
    // sector of the drive. False when the read failed; a short read is zero-filled.
    virtual bool Read(std::uint64_t driveSector, std::span<std::uint8_t> buffer) = 0;
};

// Reads a drive on a physical disk (three attempts per request) through one read-only
// descriptor held for the source's life. Used by one thread at a time; it may move
// between threads as its DiskHandle may.
class DiskSectorSource final : public SectorSource {
  public:
    DiskSectorSource(DriveCode code, DiskSector firstSector) : disk_(code), first_(firstSector) {}
    // False, without reading, when the sector lies past the last one a disk can have.
    bool Read(std::uint64_t driveSector, std::span<std::uint8_t> buffer) override;
    DiskSector firstSector() const { return first_; }
    // The descriptor the source reads through, for reads by disk sector beside it.
    DiskHandle& handle() { return disk_; }

  private:
    DiskHandle disk_;
    DiskSector first_;
};

}  // namespace tarvik
