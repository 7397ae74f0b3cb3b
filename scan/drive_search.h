#pragma once
// Scans that find FILE records by reading the whole drive instead of following the MFT:
// the path taken when the MFT cannot be located, and the advance search, which adds
// the records lying outside the MFT (an older volume's, a lost MFT fragment's).
#include <cstddef>

#include "common/reporting.h"

namespace tarvik {

struct ScanState;

// Phase 1 over the drive: every sector that begins "FILE" (in the advance search, only
// those outside the MFT's runs) is appended to the state's found records. True when
// anything was appended. A stop request ends the search between chunks, and nothing is
// appended then.
bool SearchDriveForRecords(ScanState& state, ProgressSink& progress, bool outsideMftOnly);

// Phase 2 over the found records from an index: the files (in use and deleted) of the
// records found, numbered by their index in the table. A stop request ends it between
// records.
void CatalogueFoundRecords(ScanState& state, ProgressSink& progress, std::size_t firstIndex,
                           const char* phaseText);

// The normal scan's path when no MFT run could be decoded.
void ScanWithoutMft(ScanState& state, ProgressSink& progress, Notifier& notifier);

// The advance search on a drive that has finished a normal scan. Returns whether it
// found anything; the catalogue is unchanged otherwise, and when a stop request ended
// the search of the drive.
bool RunAdvanceSearch(ScanState& state, ProgressSink& progress);

}  // namespace tarvik
