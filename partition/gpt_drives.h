#pragma once
// A GUID partition table as drive list entries: every used entry in table order, named,
// with Microsoft data partitions taken as NTFS unless their boot sector names another
// file system.
#include <vector>

#include "common/byte_view.h"
#include "disk/disk.h"
#include "partition/drive_list.h"
#include "partition/gpt_table.h"

namespace tarvik {

// One entry, given its place in 512-byte units and its first 512 bytes (empty when they
// could not be read). A data partition whose boot sector is unreadable or damaged stays
// NTFS: the scan then tries the backup boot sector at the partition's end.
LogicalDriveEntry ClassifyGptPartition(const GptEntry& entry, GptExtent extent,
                                       ByteView firstSector);

// Reads each data partition's first sector through `disk` to classify it.
std::vector<LogicalDriveEntry> GptDrives(Disk& disk, const GptTable& table);

}  // namespace tarvik
