#pragma once
// Where the NTFS readers get their sectors from: the drive being scanned in the
// program, a byte buffer in tests and fuzz targets.
//
// A sector here is always a 512-byte unit, whatever the device's or the volume's own
// sector size: partition tables, the searches and the NTFS readers all count in them, so
// a volume with 4096-byte sectors is addressed at eight units per sector.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "common/positions.h"
#include "disk/disk.h"
#include "disk/sector_size.h"

namespace tarvik {

class SectorSource {
  public:
    virtual ~SectorSource() = default;
    // Reads buffer.size() bytes (a multiple of 512) at a sector of the drive. False when
    // the read failed, and when the drive holds fewer of the bytes (it ends, or its image
    // lacks them): that part is zeroed then, and a caller that reads the request again
    // sector by sector learns which sectors are not there.
    virtual bool Read(DriveSector sector, std::span<std::uint8_t> buffer) = 0;
    // The sectors from the drive's first one to the end of the disk under it: what a
    // walk of the drive can read, whatever its volume claims. Nothing when not known.
    virtual std::optional<std::uint64_t> SectorCount() { return std::nullopt; }
};

// Reads a drive on a disk (three attempts per request) through the disk's one
// read-only reader, which the source keeps open for its life.
class DiskSectorSource final : public SectorSource {
  public:
    DiskSectorSource(std::shared_ptr<Disk> disk, DiskSector firstSector)
        : disk_(std::move(disk)), first_(firstSector) {}
    // False, without reading, when the sector lies past the last one a disk can have.
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override;
    std::optional<std::uint64_t> SectorCount() override;
    DiskSector firstSector() const { return first_; }
    // The disk the source reads, for reads by disk sector beside it.
    Disk& disk() { return *disk_; }

  private:
    std::shared_ptr<Disk> disk_;
    DiskSector first_;
};

}  // namespace tarvik
