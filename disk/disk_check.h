#pragma once
#include <optional>
#include <string>

namespace tarvik {

// Why a path cannot serve as a disk (missing, unreadable, a folder, shorter than one
// sector), in one line for the user; nothing when it can be read.
std::optional<std::string> DescribeUnusableDisk(const std::string& path);

}  // namespace tarvik
