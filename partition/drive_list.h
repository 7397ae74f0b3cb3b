#pragma once
// The drive list: the logical drives of the last partition walk or search, in the
// order found, with the list that stood before the last walk set aside so that a
// cancelled selection can bring it back.
#include <cstdint>
#include <optional>
#include <vector>

namespace tarvik {

struct LogicalDriveEntry {
    std::uint32_t startSector = 0;  // absolute on the physical disk
    std::uint32_t endSector = 0;    // first sector after the drive (32-bit sum)
    std::uint8_t partitionType = 0;

    std::uint32_t sizeInSectors() const { return endSector - startSector; }
    bool operator==(const LogicalDriveEntry&) const = default;
};

class DriveList {
  public:
    std::size_t Count() const { return current_.size(); }
    bool Empty() const { return current_.empty(); }
    const LogicalDriveEntry* At(std::size_t row) const {
        return row < current_.size() ? &current_[row] : nullptr;
    }
    const std::vector<LogicalDriveEntry>& Entries() const { return current_; }
    void Append(const LogicalDriveEntry& entry) { current_.push_back(entry); }

    // The current list becomes the previous one (an older previous list is dropped)
    // and the current list starts empty.
    void SetAsidePrevious();
    void DiscardCurrent() { current_.clear(); }
    // Brings back the list set aside; false when there is none.
    bool RestorePrevious();
    void DiscardPrevious() { previous_.reset(); }
    bool HasPrevious() const { return previous_.has_value(); }

  private:
    std::vector<LogicalDriveEntry> current_;
    std::optional<std::vector<LogicalDriveEntry>> previous_;
};

// The process-wide drive list.
DriveList& ProcessDriveList();

}  // namespace tarvik
