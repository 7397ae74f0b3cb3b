#pragma once
// The scan's counters, taken from what the catalogue holds: every entry is counted once,
// in one group, so the counters add up to the catalogue, and the drive's totals (normal +
// lost + deleted) are the entries Select All checks.
#include "catalogue/catalogue.h"
#include "scan/scan_engine.h"

namespace tarvik {

// A deleted entry is a deleted file or folder wherever it is placed. Of the others, a
// folder made up for lost entries is a lost folder, and an entry a made-up folder holds
// (its own folder was never found) a lost file or folder; the rest are normal. The count
// of unreadable records is left at 0.
ScanCounters CountEntries(const Catalogue& catalogue);

}  // namespace tarvik
