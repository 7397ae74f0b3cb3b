#include "recovery/recovery_plan.h"

namespace tarvik {

bool PlanTakes(RecoveryMode mode, const CatalogueEntry& entry, CheckMark mark) {
    switch (mode) {
        case RecoveryMode::kAll:
            return true;
        case RecoveryMode::kDeleted:
            // Carved files have no record left: they are deleted files by nature.
            return entry.IsDirectory() || entry.IsDeleted() || entry.IsCarved();
        case RecoveryMode::kSelected:
            return mark == CheckMark::kChecked ||
                   (entry.IsDirectory() && mark == CheckMark::kPartly);
    }
    return false;
}

}  // namespace tarvik
