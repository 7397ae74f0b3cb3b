#pragma once
// What one recovery is asked to do, filled in by a front end and carried out by the
// recovery writer: which entries, into which folder, and what narrows or widens it.
#include <cstdint>
#include <string>

#include "analysis/file_condition.h"
#include "catalogue/catalogue_entry.h"
#include "catalogue/check_marks.h"
#include "recovery/recovery_tally.h"

namespace tarvik {

enum class RecoveryMode : std::uint8_t { kSelected = 0, kAll = 1, kDeleted = 2 };

struct RecoveryPlan {
    std::string destination;  // the files go under destination/Root
    RecoveryMode mode = RecoveryMode::kAll;
    // Files whose condition the choice lets not through are passed over.
    ConditionChoice condition = ConditionChoice::kAny;
    bool keepReport = false;  // a row per file written, with the SHA-256 of its bytes
    // After the files: every older version of them that the drive's shadow copies hold.
    bool versions = false;
    // With RecoveryMode::kSelected: these marks instead of the check tree's (one entry
    // recovered without touching the ticks). None: the check tree's.
    const CheckMarks* marks = nullptr;
    RecoveryTally* tally = nullptr;  // counts the files to write and those done
};

// Whether a recovery in `mode` takes the entry: a file it writes, or a folder it walks
// into (for the kSelected mode, a partly checked folder on the way to checked entries).
bool PlanTakes(RecoveryMode mode, const CatalogueEntry& entry, CheckMark mark);

// Whether the entry is one of the files the plan writes (the file filter aside).
inline bool PlanWritesFile(RecoveryMode mode, const CatalogueEntry& entry, CheckMark mark) {
    return !entry.IsDirectory() && PlanTakes(mode, entry, mark);
}

}  // namespace tarvik
