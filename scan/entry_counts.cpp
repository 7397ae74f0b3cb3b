#include "scan/entry_counts.h"

#include <unordered_set>

namespace tarvik {

ScanCounters CountEntries(const Catalogue& catalogue) {
    std::unordered_set<std::uint32_t> madeUp;
    for (std::size_t i = 0; i < catalogue.Count(); ++i)
        if (catalogue.IsMadeUpAt(i)) madeUp.insert(catalogue.NumberAt(i));
    ScanCounters counters;
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        if (catalogue.IsCarvedAt(i)) continue;  // found by content, not by the file system
        const bool folder = catalogue.IsDirectoryAt(i);
        if (catalogue.IsDeletedAt(i)) {
            ++(folder ? counters.deletedDirectories : counters.deletedFiles);
        } else if (catalogue.IsMadeUpAt(i) ||
                   (!madeUp.empty() && madeUp.contains(catalogue.ParentAt(i)))) {
            ++(folder ? counters.lostDirectories : counters.lostFiles);
        } else {
            ++(folder ? counters.normalDirectories : counters.normalFiles);
        }
    }
    return counters;
}

}  // namespace tarvik
