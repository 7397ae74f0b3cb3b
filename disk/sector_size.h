#pragma once
#include <cstdint>

namespace tarvik {

// The unit every sector count and position of the program is in, whatever the device's
// or the volume's own sector size.
inline constexpr std::uint32_t kSectorSize = 512;

}  // namespace tarvik
