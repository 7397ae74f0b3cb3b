#pragma once
// The scan of a drive: phases 1-3 of the normal scan, and phase 4, housekeeping.
#include <cstddef>
#include <cstdint>

#include "common/reporting.h"

namespace tarvik {

class ScanEngine;

// Phases 1 to 3: normal entries (the folder tree from the root, or every in-use record
// when the root cannot be read), deleted entries, and lost ones. The engine must have
// passed its boot sector validation.
void RunNormalScan(ScanEngine& engine, ProgressSink& progress, Notifier& notifier);

// Shows a phase's text and sets the progress bar to 0 .. maximum, one step at a time.
void StartScanPhase(ProgressSink& progress, const char* text, std::uint64_t maximum);

// Phase 3: homes for entries whose parent folder the scan never found.
void RunLostFilesPhase(ScanEngine& engine, ProgressSink& progress, std::size_t firstIndex);

// Phase 4: the folder table and the total size.
void RunHousekeeping(ScanEngine& engine, ProgressSink& progress);

}  // namespace tarvik
