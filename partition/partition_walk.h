#pragma once
// The partition-table walk: the master boot record and the extended chain, or the GUID
// partition table an MBR's protective entry leads to, into the drive list.
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "common/positions.h"
#include "common/reporting.h"
#include "disk/disk.h"
#include "disk/sector_size.h"
#include "partition/drive_list.h"

namespace tarvik {

struct PartitionWalkState {
    DiskSector tableSector;  // sector of the table being read (0: the MBR)
    // Start of the first extended partition met, 0 if none. Links to further tables
    // count from it.
    std::uint64_t extendedBase = 0;
    // Tables already read: a chain that points back to one of them ends there, keeping
    // everything found before.
    std::unordered_set<std::uint64_t> visitedTables;
    std::size_t tablesRead = 0;
    // 512-byte units per sector of the disk the tables count in: 8 on a device with
    // 4096-byte logical sectors (4Kn), whose MBR fields count those.
    std::uint32_t unitsPerSector = 1;
};

// No real disk needs more than this many extended tables; the walk stops beyond it.
inline constexpr std::size_t kMaxPartitionTables = 4096;

// Reads the table at tableSector and appends its recognised entries to `drives`,
// descending into extended tables where they are linked (depth-first, table order).
// The chain is walked with a path held on the heap, not by recursion.
void ReadPartitionTable(Disk& disk, DiskSector tableSector, PartitionWalkState& state,
                        std::vector<LogicalDriveEntry>& drives);

// The drives of a disk's partition table: a bare volume as one NTFS drive at sector 0;
// else the GPT when the MBR carries a protective (0xEE) entry and either GPT copy is
// whole; else the MBR walk; and, when the MBR lists nothing and has no protective entry,
// a GPT all the same (an MBR wiped in front of it). Empty when nothing is found.
// `gptFromBackup`, when given, tells whether the GPT's primary copy was damaged.
std::vector<LogicalDriveEntry> ReadDiskPartitions(Disk& disk, bool* gptFromBackup = nullptr);

inline constexpr const char* kBadTableText = "Bad Partition Table, Searching Logical Drive";
inline constexpr const char* kBadTableCaption = "Corrupted Partition Table";
inline constexpr const char* kGptBackupText =
    "The primary GUID partition table is damaged; the partitions were read from its backup "
    "copy at the end of the disk";
inline constexpr const char* kGptBackupCaption = "Partition Table";

// A whole walk as the disk selection starts it: a fresh walk state reads the disk (or
// takes a bare volume as one NTFS drive at sector 0), the result replaces the current
// list, which is set aside, and an empty result is announced with the bad-table message
// (a GPT read from its backup copy is announced too, as information).
// Returns the count.
std::size_t StartPartitionWalk(Disk& disk, DriveList& list, Notifier& notifier);

}  // namespace tarvik
