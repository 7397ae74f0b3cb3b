#pragma once
// Scans that find FILE records by reading the whole drive instead of following the MFT:
// the path taken when the MFT cannot be located, and the advance search, which adds
// the records lying outside the MFT (an older volume's, a lost MFT fragment's).
#include <cstddef>

#include "common/reporting.h"

namespace tarvik {

class ScanEngine;

// Phase 1 over the drive: every sector that begins "FILE" (in the advance search, only
// those outside the MFT's runs) is appended to the engine's sector table. True when
// anything was appended.
bool SearchDriveForRecords(ScanEngine& engine, ProgressSink& progress, bool outsideMftOnly);

// Phase 2 over the sector table from an index: the files (in use and deleted) of the
// records found, numbered by their index in the table.
void CatalogueSectorTable(ScanEngine& engine, ProgressSink& progress, std::size_t firstIndex,
                          const char* phaseText);

// The normal scan's path when no MFT run could be decoded.
void ScanWithoutMft(ScanEngine& engine, ProgressSink& progress, Notifier& notifier);

// The advance search on an engine that has finished a normal scan. Returns whether it
// found anything; the catalogue is unchanged otherwise.
bool RunAdvanceSearch(ScanEngine& engine, ProgressSink& progress);

}  // namespace tarvik
