#include "analysis/entries_by_number.h"

#include <algorithm>

namespace tarvik {

EntriesByNumber::EntriesByNumber(const Catalogue& catalogue)
    : catalogue_(catalogue), counted_(catalogue.Count(), false) {
    for (std::size_t i = 0; i < catalogue.Count(); ++i)
        counted_[i] = !catalogue.IsMadeUpAt(i) && !catalogue.IsCarvedAt(i);
}

bool EntriesByNumber::Any(std::uint32_t number) const {
    for (const std::size_t index : catalogue_.WithNumber(number))
        if (counted_[index]) return true;
    return false;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> EntriesByNumber::From(
    std::uint32_t first) const {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> found;
    for (std::size_t i = 0; i < counted_.size(); ++i) {
        const std::uint32_t number = catalogue_.NumberAt(i);
        if (counted_[i] && number >= first)
            found.emplace_back(number, static_cast<std::uint32_t>(i));
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace tarvik
