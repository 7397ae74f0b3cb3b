#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// Why a path cannot serve as a disk (missing, unreadable, a folder, shorter than one
// sector), in one line for the user; nothing when it can be read.
std::optional<std::string> DescribeUnusableDisk(const std::string& path);

// A disk of the table that could not be opened for reading, with the errno of the try.
struct UnreadableDisk {
    std::string path;
    int error = 0;
};

// The errno of opening a disk read-only, or 0 when it opens. A path that is neither a
// block device nor a regular file is not opened: EISDIR for a folder, ENOTBLK otherwise.
int DiskOpenError(const std::string& path);

// One line: how many disks cannot be read, which, why, and, when permission is what
// stops them, what to do about it. Nothing for an empty list.
std::optional<std::string> DescribeUnreadableDisks(const std::vector<UnreadableDisk>& disks);

}  // namespace tarvik
