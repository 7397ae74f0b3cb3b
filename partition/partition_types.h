#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tarvik {

inline constexpr std::uint8_t kTypeNtfs = 0x07;

// The file system name shown for a recognised partition type; nothing for types the
// walk skips (extended links included).
std::optional<std::string> FileSystemName(std::uint8_t type);
bool IsRecognisedDataType(std::uint8_t type);
// 0x05 and 0x0F link to a further partition table.
bool IsExtendedLinkType(std::uint8_t type);
// The types a scan accepts; every other recognised type is a FAT drive.
bool IsScannedType(std::uint8_t type);

}  // namespace tarvik
