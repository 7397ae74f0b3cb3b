#pragma once
#include <cstdint>

namespace tarvik {

// 0x80 + n names physical disk n (entry n of the disk table); 0x00-0x7F name a drive
// letter, which opens nothing on this platform.
using DriveCode = std::uint8_t;

inline constexpr DriveCode kFirstPhysicalDisk = 0x80;
inline constexpr std::uint32_t kSectorSize = 512;

inline bool IsPhysicalDisk(DriveCode code) {
    return static_cast<std::int16_t>(code) > 0x7F;
}
inline DriveCode PhysicalDiskCode(unsigned index) {
    return static_cast<DriveCode>(kFirstPhysicalDisk + index);
}
inline unsigned PhysicalDiskIndex(DriveCode code) {
    return static_cast<unsigned>(code) - 0x80u;
}

}  // namespace tarvik
