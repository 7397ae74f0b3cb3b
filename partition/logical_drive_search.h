#pragma once
// Searching a whole disk for NTFS volumes: every sector that looks like an NTFS boot
// sector is confirmed by the MFT record it points to (or the mirror's), as the volume's
// first sector or as its backup boot sector at the volume's end.
#include <cstdint>

#include "common/positions.h"
#include "common/progress_slot.h"
#include "common/reporting.h"
#include "disk/drive_code.h"
#include "disk/sector_reader.h"
#include "partition/drive_list.h"
#include "partition/found_drive_table.h"

namespace tarvik {

struct DriveSearchOptions {
    const StopFlag* stop = nullptr;  // tested between chunks; what was found stays
    Notifier* notifier = nullptr;    // for a disk that cannot be opened
};

// Searches the disk from its first sector to its true (64-bit) end and records what it
// confirms. A stop request ends it between two chunks of 63 sectors.
void SearchLogicalDrives(DriveCode code, FoundDriveTable& table, ProgressSink& progress,
                         const DriveSearchOptions& options = {});

// The boot sector test of one sector, given the sector's bytes and its place; reads
// MFT records through `disk` (the places they are read at are 64-bit sums, checked).
// Records the pair it confirms.
bool TestBootSectorCandidate(DiskHandle& disk, DiskSector sector, const std::uint8_t* bytes,
                             FoundDriveTable& table);

// The drive list becomes the finds, each an NTFS drive of its boot sector's size plus
// the backup boot sector.
void RebuildDriveListFromSearch(const FoundDriveTable& table, DriveList& list);

}  // namespace tarvik
