#pragma once
#include <cstdint>
#include <string>

namespace tarvik {

// A drive size as the drive list shows it: whole GB (or MB), then "." and the first two
// digits of the remainder counted in the next smaller unit when there is one:
// 3,145,728 sectors read "1.51GB", 2,048 sectors "1MB".
std::string FormatDriveSize(std::uint64_t sectors);

}  // namespace tarvik
