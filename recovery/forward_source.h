#pragma once
// A sector source over the drive for reads that mostly go forward.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "disk/sector_source.h"
#include "recovery/gap_plan.h"

namespace tarvik {

// Reads the drive on from where the previous read ended when the next read starts a
// little after it: the bytes between are read and dropped, which on a spinning disk
// costs less than moving the head (8 ms is over a megabyte at 150 MB/s). Those bytes are
// never used, so a read of them that fails costs nothing. Given a plan for a sweep, only
// the gaps it names are read through (see gap_plan.h).
//
// The bytes read last (up to a bound) are kept, in one stretch of the drive: a read
// that lies in them is served from memory, and one that begins in them reads on from
// their end. Files whose clusters overlap, or whose pieces begin inside the previous
// file's last request, are then read once and in order.
class ForwardSource final : public SectorSource {
  public:
    static constexpr std::uint64_t kMaxGapSectors = 2048;  // 1 MiB
    static constexpr std::size_t kDefaultKeptBytes = 8u << 20;

    explicit ForwardSource(SectorSource& drive, std::size_t keptBytes = kDefaultKeptBytes)
        : drive_(drive), keptBytes_(keptBytes) {}

    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override;
    // Only from the bytes kept: false, without reading the drive, when they do not hold
    // all of it.
    bool ReadHeld(DriveSector sector, std::span<std::uint8_t> buffer) const;
    // Until Forget, gaps are read through as the plan says.
    void SetGapPlan(const GapPlan& plan) { plan_ = plan; }
    // The head is elsewhere now (records were read in between): nothing is read through
    // to the next read, what was kept is let go, and a plan ends.
    void Forget();

  private:
    // Copies what the kept bytes hold from the start of [sector, sector + sectors):
    // the sectors copied.
    std::uint64_t CopyKept(std::uint64_t sector, std::span<std::uint8_t> buffer) const;
    void Keep(std::uint64_t sector, std::span<const std::uint8_t> bytes);
    void LetGo() { keptSectors_ = 0; }
    std::uint64_t KeptEnd() const { return keptStart_ + keptSectors_; }

    SectorSource& drive_;
    std::size_t keptBytes_;
    std::uint64_t end_ = 0;  // where the last read ended; 0: unknown
    bool gaps_ = true;
    std::optional<GapPlan> plan_;
    std::vector<std::uint8_t> gap_;
    // The kept stretch, sectors keptStart_ on, in a ring of keptBytes_ (made at the first
    // read): sector s lies at (s x 512) mod its size.
    std::vector<std::uint8_t> ring_;
    std::uint64_t keptStart_ = 0;
    std::uint64_t keptSectors_ = 0;
};

}  // namespace tarvik
