#pragma once
// The drive list: the logical drives of the last partition walk or search, in the
// order found, with the list that stood before the last walk set aside so that a
// cancelled selection can bring it back.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

struct LogicalDriveEntry {
    std::uint64_t startSector = 0;  // absolute on the physical disk
    std::uint64_t endSector = 0;    // first sector after the drive
    std::uint8_t partitionType = 0;
    // A GUID partition table's entry: its own name (may be empty) and, for a type that
    // has no partition-type byte of its own ("EFI SYSTEM"), the file system shown.
    bool fromGpt = false;
    std::string gptName{};
    std::string gptFileSystem{};

    std::uint64_t sizeInSectors() const { return endSector - startSector; }
    bool operator==(const LogicalDriveEntry&) const = default;
};

// Safe to use from several threads (the desktop program walks or searches a disk on a
// worker while its user-interface thread shows the list): every member holds a mutex
// and readers get copies. A walk or a search puts its whole result in at once, so a
// reader sees the list before it or the list after it, never half of one.
class DriveList {
  public:
    std::size_t Count() const;
    bool Empty() const;
    // A copy of the entry at `row`; nothing past the end.
    std::optional<LogicalDriveEntry> EntryAt(std::size_t row) const;
    // A snapshot of the current list.
    std::vector<LogicalDriveEntry> Entries() const;
    void Append(const LogicalDriveEntry& entry);

    // A walk's result: a current list that is not empty becomes the previous one (an
    // older previous list is dropped), then `entries` the current list.
    void ReplaceSettingAside(std::vector<LogicalDriveEntry> entries);
    // A search's result: `entries` replace the current list; the previous one stays.
    void ReplaceCurrent(std::vector<LogicalDriveEntry> entries);

    // The current list becomes the previous one (an older previous list is dropped)
    // and the current list starts empty.
    void SetAsidePrevious();
    void DiscardCurrent();
    // Brings back the list set aside; false when there is none.
    bool RestorePrevious();
    void DiscardPrevious();
    bool HasPrevious() const;

  private:
    mutable std::mutex mutex_;
    std::vector<LogicalDriveEntry> current_;
    std::optional<std::vector<LogicalDriveEntry>> previous_;
};

}  // namespace tarvik
