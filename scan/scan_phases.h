#pragma once
// The scan of a drive: phases 1-3 of the normal scan, and phase 4, housekeeping. They
// work on the state a ScanEngine owns; only the engine calls them (and tests).
#include <cstddef>
#include <cstdint>

#include "common/reporting.h"

namespace tarvik {

struct ScanState;

// Phases 1 to 3: normal entries (the folder tree from the root, or every in-use record
// when the root cannot be read), deleted entries, and lost ones. The boot sector must
// have been validated. A stop request ends phases 1 and 2 between records; phase 3
// still runs over what was catalogued.
void RunNormalScan(ScanState& state, ProgressSink& progress, Notifier& notifier);

// Phase 3: homes for entries whose parent folder the scan never found.
void RunLostFilesPhase(ScanState& state, ProgressSink& progress, std::size_t firstIndex);

// Phase 4: the folder table and the total size.
void RunHousekeeping(ScanState& state, ProgressSink& progress);

// Shows a phase's text and moves its progress bar over 0 .. maximum by positions. A
// phase may have millions of units: the bar is moved about a thousand times, not once
// per unit.
class PhaseProgress {
  public:
    PhaseProgress(ProgressSink& sink, const char* text, std::uint64_t maximum);

    // The phase has reached `position`. True when the bar was moved, which is when the
    // caller's counters are worth showing too.
    bool At(std::uint64_t position);

  private:
    ProgressSink& sink_;
    std::uint64_t stride_;
    std::uint64_t next_ = 0;
};

}  // namespace tarvik
