#include "catalogue/kept_index.h"

namespace tarvik {

namespace {

std::optional<std::string> CountsMismatch(std::size_t recordCount, const KeptIndex& index) {
    if (index.positions.size() != recordCount)
        return "it lists " + std::to_string(index.positions.size()) + " positions for " +
               std::to_string(recordCount) + " entries";
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < index.numbers.size(); ++i) {
        const NumberCount& kept = index.numbers[i];
        if (kept.count == 0) return "number " + std::to_string(kept.number) + " lists no entry";
        if (i > 0 && kept.number <= index.numbers[i - 1].number)
            return "its numbers do not rise (" + std::to_string(kept.number) + " after " +
                   std::to_string(index.numbers[i - 1].number) + ")";
        total += kept.count;
    }
    if (total != recordCount)
        return "its counts add up to " + std::to_string(total) + " entries, not " +
               std::to_string(recordCount);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> KeptIndexMismatch(std::span<const CatalogueRecord> records,
                                             const KeptIndex& index, IndexKey key) {
    if (auto mismatch = CountsMismatch(records.size(), index)) return mismatch;
    const std::uint32_t CatalogueRecord::*field =
        key == IndexKey::kNumber ? &CatalogueRecord::number : &CatalogueRecord::parent;
    std::size_t at = 0;
    for (const NumberCount& kept : index.numbers) {
        const std::size_t end = at + kept.count;
        for (std::size_t previous = SIZE_MAX; at < end; ++at) {
            const std::uint32_t position = index.positions[at];
            if (position >= records.size())
                return "it lists entry " + std::to_string(position) + " of " +
                       std::to_string(records.size());
            if (records[position].*field != kept.number)
                return "it lists entry " + std::to_string(position) + " under " +
                       std::to_string(kept.number) + ", which it does not have";
            if (previous != SIZE_MAX && position <= previous)
                return "the entries of " + std::to_string(kept.number) + " are not in order";
            previous = position;
        }
    }
    return std::nullopt;
}

}  // namespace tarvik
