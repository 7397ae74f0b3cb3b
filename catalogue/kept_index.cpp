#include "catalogue/kept_index.h"

namespace tarvik {

namespace {

std::size_t EndOf(const KeptIndex& index, std::size_t i) {
    return KeptPositionsEnd(index.numbers, i, index.positions.size());
}

std::optional<std::string> CountsMismatch(std::size_t recordCount, const KeptIndex& index) {
    if (index.positions.size() != recordCount)
        return "it lists " + std::to_string(index.positions.size()) + " positions for " +
               std::to_string(recordCount) + " entries";
    if (index.numbers.empty() != (recordCount == 0) ||
        (!index.numbers.empty() && index.numbers.front().first != 0))
        return std::string("its first number's entries do not begin its list");
    for (std::size_t i = 0; i < index.numbers.size(); ++i) {
        const KeptNumber& kept = index.numbers[i];
        if (kept.first >= EndOf(index, i))
            return "number " + std::to_string(kept.number) + " lists no entry";
        if (i > 0 && kept.number <= index.numbers[i - 1].number)
            return "its numbers do not rise (" + std::to_string(kept.number) + " after " +
                   std::to_string(index.numbers[i - 1].number) + ")";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> KeptIndexMismatch(std::span<const CatalogueRecord> records,
                                             const KeptIndex& index, IndexKey key) {
    if (auto mismatch = CountsMismatch(records.size(), index)) return mismatch;
    const std::uint32_t CatalogueRecord::*field =
        key == IndexKey::kNumber ? &CatalogueRecord::number : &CatalogueRecord::parent;
    std::size_t at = 0;
    for (std::size_t i = 0; i < index.numbers.size(); ++i) {
        const KeptNumber& kept = index.numbers[i];
        const std::size_t end = EndOf(index, i);
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
