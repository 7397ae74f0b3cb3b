#include "scan/entry_counts.h"

#include <unordered_set>

namespace tarvik {

ScanCounters CountEntries(const Catalogue& catalogue) {
    std::unordered_set<std::uint32_t> madeUp;
    for (const CatalogueEntry& entry : catalogue.Entries()) {
        // Copies: the packed entry's fields are not aligned for a reference.
        if (entry.IsMadeUp()) madeUp.insert(std::uint32_t{entry.number});
    }
    ScanCounters counters;
    for (const CatalogueEntry& entry : catalogue.Entries()) {
        if (entry.IsCarved()) continue;  // found by content, not by the file system
        const bool folder = entry.IsDirectory();
        if (entry.IsDeleted()) {
            ++(folder ? counters.deletedDirectories : counters.deletedFiles);
        } else if (entry.IsMadeUp() || madeUp.contains(std::uint32_t{entry.parent})) {
            ++(folder ? counters.lostDirectories : counters.lostFiles);
        } else {
            ++(folder ? counters.normalDirectories : counters.normalFiles);
        }
    }
    return counters;
}

}  // namespace tarvik
