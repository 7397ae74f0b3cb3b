#pragma once
// The disks the program can read: image files named by the user first, then the
// machine's whole disks. Entry n is physical disk n (drive code 0x80 + n).
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "disk/drive_code.h"

namespace tarvik {

struct DiskTableEntry {
    std::string path;  // image file or /dev node
    bool isImage = false;
};

// Safe to use from several threads (the desktop program reads disks on a worker while
// its user-interface thread lists them): every member holds a mutex, and readers get
// copies, so nothing a reader holds changes under it when the table is loaded again.
class DiskTable {
  public:
    // Image files (from --disk), then those of TARVIK_DISKS, then /sys/block. The new
    // entries replace the old ones in one step.
    void Load(const std::vector<std::string>& imagePaths, bool includeSystemDisks = true);
    void Clear();
    void Append(DiskTableEntry entry);

    // A snapshot of the entries.
    std::vector<DiskTableEntry> Entries() const;
    std::optional<DiskTableEntry> EntryFor(DriveCode code) const;

    // Paths from a ':'-separated list such as TARVIK_DISKS; empty items are dropped.
    static std::vector<std::string> SplitPathList(const std::string& list);
    // Whole-disk block devices under a /sys/block-like folder, as /dev paths, in name order.
    static std::vector<std::string> SystemDisks(const std::string& sysBlockDir = "/sys/block");
    static bool IsWholeDiskName(const std::string& name);

  private:
    mutable std::mutex mutex_;
    std::vector<DiskTableEntry> entries_;
};

// The process-wide disk table that the sector reader consults.
DiskTable& Disks();

}  // namespace tarvik
