#pragma once
// The program's own flow from a disk to a scanned drive: the partition walk, the
// chosen drive, its type check and boot validation, the normal scan and housekeeping.
#include <memory>
#include <optional>

#include "cli/cli_args.h"
#include "ntfs/scan_engine.h"
#include "partition/drive_list.h"

namespace tarvik::cli {

struct ScanOutcome {
    std::unique_ptr<ScanEngine> engine;
    int exitStatus = kExitOk;  // meaningful when engine is null
};

// The drive list of disk 0: its partition table, or (asked for, or after an empty walk)
// the search of the whole disk for NTFS volumes. False when neither found a drive.
bool FindLogicalDrives(bool search, DriveList& list, Notifier& notifier);

// Reads --disk, --drive, --search and --advance from args. Messages go to stderr.
ScanOutcome ScanChosenDrive(const CliArgs& args);

// The six counters, as the scan reports them at its end.
std::string CountersLine(const ScanCounters& counters);

}  // namespace tarvik::cli
