// The recovery as a plan: the bytes it will write, and the versions it asks for.
#include "session/recovery_session.h"

#include "carve/carved_files.h"
#include "scan/scan_engine.h"

namespace tarvik {

std::uint64_t RecoverySession::PlannedBytes(const RecoveryPlan& plan) const {
    const Catalogue& catalogue = GetCatalogue();
    const CheckMarks* marks = plan.marks;
    if (marks == nullptr && plan.mode == RecoveryMode::kSelected) marks = &Checks().Marks();
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        const CatalogueEntry& entry = catalogue.At(i);
        const CheckMark mark = marks != nullptr ? marks->Of(i) : CheckMark::kUnchecked;
        if (PlanWritesFile(plan.mode, entry, mark) && FilterPasses(entry.Name(), filter_.get()))
            total += entry.size;
    }
    return total;
}

bool RecoverySession::HasDeletedFiles() const {
    if (!engine_) return false;
    return engine_->counters().deletedFiles != 0 || (carved_ && carved_->Count() != 0);
}

VersionsResult RecoverySession::RecoverVersions(const RecoveryPlan& plan, ProgressSink& progress,
                                                Notifier& notifier, const StopFlag* stop) {
    if (!plan.versions) return {};
    return RecoverVersions(plan.destination, plan.mode, progress, notifier, stop);
}

}  // namespace tarvik
