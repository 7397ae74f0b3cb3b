#pragma once
// Where the NTFS readers get their sectors from: the drive being scanned in the
// program, a byte buffer in tests and fuzz targets.
#include <cstdint>
#include <span>

#include "disk/drive_code.h"

namespace tarvik {

class SectorSource {
  public:
    virtual ~SectorSource() = default;
    // Reads buffer.size() bytes (a multiple of 512) at a sector relative to the first
    // sector of the drive. False when the read failed; a short read is zero-filled.
    virtual bool Read(std::uint64_t driveSector, std::span<std::uint8_t> buffer) = 0;
};

// Reads a drive on a physical disk through the sector reader (three attempts).
class DiskSectorSource final : public SectorSource {
  public:
    DiskSectorSource(DriveCode code, std::uint32_t firstSector)
        : code_(code), first_(firstSector) {}
    bool Read(std::uint64_t driveSector, std::span<std::uint8_t> buffer) override;

  private:
    DriveCode code_;
    std::uint32_t first_;
};

}  // namespace tarvik
