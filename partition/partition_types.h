#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "partition/drive_list.h"

namespace tarvik {

inline constexpr std::uint8_t kTypeNtfs = 0x07;

// The file system name shown for a recognised partition type; nothing for types the
// walk skips (extended links included).
std::optional<std::string> FileSystemName(std::uint8_t type);
// What the drive list shows as a drive's file system: a GPT partition's own label, or
// the name of the partition type, "?" for a type without one.
std::string DriveFileSystemName(const LogicalDriveEntry& entry);
bool IsRecognisedDataType(std::uint8_t type);
// 0x05 and 0x0F link to a further partition table.
bool IsExtendedLinkType(std::uint8_t type);
// The types a scan accepts; every other recognised type is a FAT drive.
bool IsScannedType(std::uint8_t type);

}  // namespace tarvik
