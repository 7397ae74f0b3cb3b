#include "session/entry_filter.h"

#include <algorithm>

#include "session/find_entry.h"

namespace tarvik {

bool EntryFilter::NameOnly() const {
    return conditions.empty() && !minSize && !maxSize && !createdFrom && !createdTo;
}

bool IsSystemEntry(const Catalogue& catalogue, std::size_t index) {
    constexpr std::uint32_t kFirstUserRecord = 16;
    // Folders of a damaged volume may loop: the walk up gives up rather than going round.
    constexpr int kDeepest = 256;
    if (index >= catalogue.Count()) return false;
    CatalogueEntry entry = catalogue.At(index);
    for (int depth = 0; depth < kDeepest; ++depth) {
        if (entry.IsMadeUp() || entry.number == kRootFolderNumber) return false;
        if (entry.parent == kRootFolderNumber) {
            const std::string_view name = entry.Name();
            const bool metafile =
                entry.number < kFirstUserRecord && !name.empty() && name.front() == '$';
            // Below the root, only $Extend holds system files.
            return metafile && (depth == 0 || entry.IsDirectory());
        }
        const auto parent = catalogue.FirstWithNumber(entry.parent);
        if (!parent) return false;
        entry = catalogue.At(*parent);
    }
    return false;
}

bool EntryPasses(const Catalogue& catalogue, std::size_t index, const EntryFilter& filter,
                 const ConditionTable* conditions) {
    if (index >= catalogue.Count()) return false;
    const CatalogueEntry& entry = catalogue.At(index);
    if (filter.deletedOnly && !entry.IsDeleted()) return false;
    if (!filter.NameOnly()) {
        if (entry.IsDirectory()) return false;
        const std::uint64_t size = entry.size;
        if ((filter.minSize && size < *filter.minSize) ||
            (filter.maxSize && size > *filter.maxSize))
            return false;
        const std::uint64_t created = entry.creationTime;
        if ((filter.createdFrom && created < *filter.createdFrom) ||
            (filter.createdTo && created > *filter.createdTo))
            return false;
        if (!filter.conditions.empty()) {
            if (conditions == nullptr || index >= conditions->Count()) return false;
            const FileCondition condition = conditions->Condition(index).condition;
            if (std::find(filter.conditions.begin(), filter.conditions.end(), condition) ==
                filter.conditions.end())
                return false;
        }
    }
    if (!NameFits(entry.Name(), filter.text, filter.matchCase)) return false;
    return !filter.hideSystem || !IsSystemEntry(catalogue, index);
}

std::vector<std::size_t> FilterCatalogue(const Catalogue& catalogue, const EntryFilter& filter,
                                         const ConditionTable* conditions) {
    std::vector<std::size_t> passed;
    for (std::size_t index = 0; index < catalogue.Count(); ++index)
        if (EntryPasses(catalogue, index, filter, conditions)) passed.push_back(index);
    return passed;
}

}  // namespace tarvik
