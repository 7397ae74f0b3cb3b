#include "scan/number_confirmation.h"

namespace tarvik {

namespace {

// Names match over the length of the entry's name.
bool NamesMatch(const std::string& entryName, const std::optional<std::string>& found) {
    return found && found->compare(0, entryName.size(), entryName) == 0;
}

}  // namespace

Confirmation ConfirmRecordNumber(std::uint64_t k, const std::string& name,
                                 const RecordProbe& probe) {
    const RecordAtNumber atK = probe(k);
    if (atK.isFileRecord && NamesMatch(name, atK.name)) return {ConfirmationResult::Kept, k};
    // The record at k itself is not a FILE record: nothing contradicts the count, keep it.
    if (!atK.isFileRecord) return {ConfirmationResult::Kept, k};
    for (std::int64_t delta = -kConfirmBefore; delta <= kConfirmAfter; ++delta) {
        if (delta < 0 && k < static_cast<std::uint64_t>(-delta)) continue;
        const std::uint64_t candidate = k + static_cast<std::uint64_t>(delta);
        const RecordAtNumber found = probe(candidate);
        if (!found.isFileRecord) continue;
        if (!found.name) return {ConfirmationResult::Dropped, k};
        if (NamesMatch(name, found.name)) return {ConfirmationResult::Moved, candidate};
    }
    return {ConfirmationResult::Dropped, k};
}

}  // namespace tarvik
