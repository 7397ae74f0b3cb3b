#pragma once
// The disks the program can read: image files named by the user first, then the
// machine's whole disks. Entry n is disk n. The session owns the table and its disks.
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "disk/disk.h"

namespace tarvik {

struct DiskTableEntry {
    std::string path;  // image file or /dev node
    bool isImage = false;
};

// Safe to use from several threads (the desktop program reads disks on a worker while
// its user-interface thread lists them): every member holds a mutex, and readers get
// the disks themselves, which stay open for whoever holds them when the table is
// loaded again.
class DiskTable {
  public:
    // Image files (from --disk), then those of TARVIK_DISKS, then /sys/block.
    static std::vector<DiskTableEntry> Listed(const std::vector<std::string>& imagePaths,
                                              bool includeSystemDisks = true);
    // The listed disks replace the old ones in one step.
    void Load(const std::vector<std::string>& imagePaths, bool includeSystemDisks = true);
    void Replace(const std::vector<DiskTableEntry>& entries);
    // Adds a disk at the end: its number.
    std::size_t Append(const DiskTableEntry& entry);

    // A snapshot of the disks, in table order.
    std::vector<std::shared_ptr<Disk>> Entries() const;
    // Disk `number`; nothing past the table's end.
    std::shared_ptr<Disk> At(std::size_t number) const;
    // The disks from the first up to the first whose path cannot be opened now.
    std::size_t OpenableCount() const;

    // Paths from a ':'-separated list such as TARVIK_DISKS; empty items are dropped.
    static std::vector<std::string> SplitPathList(const std::string& list);
    // Whole-disk block devices under a /sys/block-like folder, as /dev paths, in name order.
    static std::vector<std::string> SystemDisks(const std::string& sysBlockDir = "/sys/block");
    static bool IsWholeDiskName(const std::string& name);

  private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Disk>> disks_;
};

}  // namespace tarvik
