#pragma once
// The catalogue entries the condition check weighs, found by their record number: every
// entry found through the file system (not a made-up folder, not a carved file), under
// each number in stored order. The catalogue's own index by number answers; this keeps
// only which of its entries count.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"

namespace tarvik {

class EntriesByNumber {
  public:
    explicit EntriesByNumber(const Catalogue& catalogue);

    bool Counts(std::size_t index) const { return counted_[index]; }
    // Calls visit(index) for each counted entry of the number, in stored order.
    template <typename Visitor>
    void Visit(std::uint32_t number, Visitor&& visit) const {
        for (const std::size_t index : catalogue_.WithNumber(number))
            if (counted_[index]) visit(static_cast<std::uint32_t>(index));
    }
    bool Any(std::uint32_t number) const;
    // The counted entries whose numbers are `first` or more, as (number, index) by number
    // and then in stored order.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> From(std::uint32_t first) const;
    std::uint64_t bytes() const { return counted_.capacity() / 8; }

  private:
    const Catalogue& catalogue_;
    std::vector<bool> counted_;
};

}  // namespace tarvik
