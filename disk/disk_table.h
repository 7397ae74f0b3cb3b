#pragma once
// The disks the program can read: image files named by the user first, then the
// machine's whole disks. Entry n is physical disk n (drive code 0x80 + n).
#include <optional>
#include <string>
#include <vector>

#include "disk/drive_code.h"

namespace tarvik {

struct DiskTableEntry {
    std::string path;  // image file or /dev node
    bool isImage = false;
};

class DiskTable {
  public:
    // Image files (from --disk), then those of TARVIK_DISKS, then /sys/block.
    void Load(const std::vector<std::string>& imagePaths, bool includeSystemDisks = true);
    void Clear() { entries_.clear(); }
    void Append(DiskTableEntry entry) { entries_.push_back(std::move(entry)); }

    const std::vector<DiskTableEntry>& Entries() const { return entries_; }
    std::optional<DiskTableEntry> EntryFor(DriveCode code) const;

    // Paths from a ':'-separated list such as TARVIK_DISKS; empty items are dropped.
    static std::vector<std::string> SplitPathList(const std::string& list);
    // Whole-disk block devices under a /sys/block-like folder, as /dev paths, in name order.
    static std::vector<std::string> SystemDisks(const std::string& sysBlockDir = "/sys/block");
    static bool IsWholeDiskName(const std::string& name);

  private:
    std::vector<DiskTableEntry> entries_;
};

// The process-wide disk table that the sector reader consults.
DiskTable& Disks();

}  // namespace tarvik
