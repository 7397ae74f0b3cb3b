#include "partition/gpt_drives.h"

#include <array>
#include <cstring>
#include <string_view>

#include "partition/partition_types.h"

namespace tarvik {

namespace {

bool HasText(ByteView sector, std::size_t offset, std::string_view text) {
    return sector.has(offset, text.size()) &&
           std::memcmp(sector.data() + offset, text.data(), text.size()) == 0;
}

// The file system other than NTFS that a data partition's boot sector names, as a
// partition-type byte where one exists (so it shows and is refused as on an MBR disk)
// or as a label.
void NameOtherFileSystem(ByteView sector, LogicalDriveEntry& drive) {
    if (HasText(sector, 0x52, "FAT32   ")) {
        drive.partitionType = 0x0C;
    } else if (HasText(sector, 0x36, "FAT16   ") || HasText(sector, 0x36, "FAT     ")) {
        drive.partitionType = 0x06;
    } else if (HasText(sector, 0x36, "FAT12   ")) {
        drive.partitionType = 0x01;
    } else if (HasText(sector, 0x03, "EXFAT   ")) {
        drive.gptFileSystem = "EXFAT";
    } else if (HasText(sector, 0x03, "ReFS")) {
        drive.gptFileSystem = "REFS";
    } else {
        drive.partitionType = kTypeNtfs;
    }
}

bool IsMicrosoftData(const GptGuid& type) {
    return type == kGptBasicData || type == kGptWindowsRecovery;
}

}  // namespace

LogicalDriveEntry ClassifyGptPartition(const GptEntry& entry, GptExtent extent,
                                       ByteView firstSector) {
    LogicalDriveEntry drive;
    drive.startSector = extent.start;
    drive.endSector = extent.end;
    drive.fromGpt = true;
    drive.gptName = entry.name;
    if (IsMicrosoftData(entry.type)) {
        NameOtherFileSystem(firstSector, drive);
    } else if (entry.type == kGptEfiSystem) {
        drive.gptFileSystem = "EFI SYSTEM";
    } else if (entry.type == kGptMicrosoftReserved) {
        drive.gptFileSystem = "MS RESERVED";
    } else if (entry.type == kGptLinuxData) {
        drive.gptFileSystem = "LINUX";
    } else if (entry.type == kGptLinuxSwap) {
        drive.gptFileSystem = "LINUX SWAP";
    } else {
        drive.gptFileSystem = "OTHER";
    }
    return drive;
}

std::vector<LogicalDriveEntry> GptDrives(Disk& disk, const GptTable& table) {
    std::vector<LogicalDriveEntry> drives;
    for (const GptEntry& entry : table.partitions) {
        const auto extent = ExtentInUnits(entry, table.sectorSize);
        if (!extent) continue;
        std::array<std::uint8_t, 512> sector{};
        ByteView first;
        if (IsMicrosoftData(entry.type) && disk.Read(DiskSector(extent->start), sector))
            first = ByteView(sector.data(), sector.size());
        drives.push_back(ClassifyGptPartition(entry, *extent, first));
    }
    return drives;
}

}  // namespace tarvik
