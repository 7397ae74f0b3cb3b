#pragma once
// The options every command that reads a drive shares (--disk, --drive, --search,
// --advance), turned into session calls: the disk loaded, its drives found, the chosen
// drive opened and scanned.
#include <string>

#include "cli/cli_args.h"
#include "cli/interrupt.h"
#include "scan/scan_engine.h"
#include "session/recovery_session.h"

namespace tarvik::cli {

// Loads the one --disk of the command into the session. Returns the exit status of a
// failure, or nothing when the disk is loaded.
std::optional<int> LoadOneDisk(const DriveOptions& options, RecoverySession& session);

// Finds the drives of the loaded disk (--search: the disk search). False after the
// session has said why.
bool FindDrives(const DriveOptions& options, RecoverySession& session, const InterruptStop& stop);

// Everything up to a scanned drive: the disk, its drives, drive N (or the first drive
// whose boot sector validates as NTFS), the scan and, with --advance, the advance
// search. Returns the exit status of a failure, or nothing when the session holds the
// scanned drive.
std::optional<int> ScanChosenDrive(const DriveOptions& options, RecoverySession& session,
                                   const InterruptStop& stop);

// Says that an interrupt ended the command; returns the status for it.
int ReportInterrupted();

// The six counters, as the scan reports them at its end.
std::string CountersLine(const ScanCounters& counters);

}  // namespace tarvik::cli
