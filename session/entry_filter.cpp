#include "session/entry_filter.h"

#include <algorithm>

#include "session/find_entry.h"

namespace tarvik {

bool EntryFilter::NameOnly() const {
    return conditions.empty() && !minSize && !maxSize && !createdFrom && !createdTo;
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
    return NameFits(entry.Name(), filter.text, filter.matchCase);
}

std::vector<std::size_t> FilterCatalogue(const Catalogue& catalogue, const EntryFilter& filter,
                                         const ConditionTable* conditions) {
    std::vector<std::size_t> passed;
    for (std::size_t index = 0; index < catalogue.Count(); ++index)
        if (EntryPasses(catalogue, index, filter, conditions)) passed.push_back(index);
    return passed;
}

}  // namespace tarvik
