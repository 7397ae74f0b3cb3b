#pragma once
// A sector source over the drive for reads that mostly go forward.
#include <cstdint>
#include <span>
#include <vector>

#include "disk/sector_source.h"

namespace tarvik {

// Reads the drive on from where the previous read ended when the next read starts a
// little after it: the bytes between are read and dropped, which on a spinning disk
// costs less than moving the head (8 ms is over a megabyte at 150 MB/s). Those bytes
// are never used, so a read of them that fails costs nothing.
class ForwardSource final : public SectorSource {
  public:
    static constexpr std::uint64_t kMaxGapSectors = 2048;  // 1 MiB

    explicit ForwardSource(SectorSource& drive) : drive_(drive) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        if (gaps_ && end_ != 0 && sector.value() > end_ &&
            sector.value() - end_ <= kMaxGapSectors) {
            gap_.resize((sector.value() - end_) * 512);
            // A disk with bad places is not read more than it must be: it jumps.
            gaps_ = drive_.Read(DriveSector(end_), gap_);
        }
        end_ = sector.value() + buffer.size() / 512;
        return drive_.Read(sector, buffer);
    }
    // The head is elsewhere now (records were read in between).
    void Forget() { end_ = 0; }

  private:
    SectorSource& drive_;
    std::uint64_t end_ = 0;
    bool gaps_ = true;
    std::vector<std::uint8_t> gap_;
};

}  // namespace tarvik
