#pragma once
// NTFS volumes found by searching a disk sector by sector: each a start sector and the
// boot sector's total sectors, in the order found, without duplicates.
#include <cstdint>
#include <vector>

namespace tarvik {

struct FoundDrive {
    std::uint64_t startSector = 0;
    std::uint64_t totalSectors = 0;
    bool operator==(const FoundDrive&) const = default;
};

class FoundDriveTable {
  public:
    // A disk holds far fewer volumes; beyond this the search keeps what it has.
    static constexpr std::size_t kMaxDrives = 4096;

    // False when the pair is already held (or the table is full).
    bool Record(const FoundDrive& drive);
    void Clear() { drives_.clear(); }
    std::size_t Count() const { return drives_.size(); }
    bool Empty() const { return drives_.empty(); }
    const std::vector<FoundDrive>& Drives() const { return drives_; }

  private:
    std::vector<FoundDrive> drives_;
};

}  // namespace tarvik
