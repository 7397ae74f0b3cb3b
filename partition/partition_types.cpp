#include "partition/partition_types.h"

namespace tarvik {

std::optional<std::string> FileSystemName(std::uint8_t type) {
    switch (type) {
        case 0x01:
            return "FAT 12";
        case 0x04:
        case 0x06:
            return "FAT 16";
        case 0x07:
        case 0x42:
            return "NTFS";
        case 0x0B:
        case 0x0C:
        case 0x0E:
            return "FAT 32";
        case 0x86:
        case 0x87:
            return "EXTENDED NTFS";
        default:
            return std::nullopt;
    }
}

std::string DriveFileSystemName(const LogicalDriveEntry& entry) {
    if (!entry.gptFileSystem.empty()) return entry.gptFileSystem;
    return FileSystemName(entry.partitionType).value_or("?");
}

bool IsRecognisedDataType(std::uint8_t type) {
    return FileSystemName(type).has_value();
}

bool IsExtendedLinkType(std::uint8_t type) {
    return type == 0x05 || type == 0x0F;
}

bool IsScannedType(std::uint8_t type) {
    return type == 0x07 || type == 0x42 || type == 0x86 || type == 0x87;
}

}  // namespace tarvik
