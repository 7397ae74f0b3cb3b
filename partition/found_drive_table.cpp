#include "partition/found_drive_table.h"

#include <algorithm>

namespace tarvik {

bool FoundDriveTable::Record(const FoundDrive& drive) {
    if (drives_.size() >= kMaxDrives) return false;
    if (std::find(drives_.begin(), drives_.end(), drive) != drives_.end()) return false;
    drives_.push_back(drive);
    return true;
}

}  // namespace tarvik
