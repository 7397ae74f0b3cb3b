#pragma once
// A set of MFT record numbers sized by the MFT, not by the numbers an index names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace tarvik {

// Record numbers: those below the MFT's record count by one bit each, any other number
// (an index may name any) in a hash set. A set of a million numbers then takes an
// eighth of a megabyte instead of tens.
class RecordNumberSet {
  public:
    // Numbers below `records` are held by bit from now on (the bound never shrinks).
    void Cover(std::uint64_t records) {
        const auto bound = static_cast<std::size_t>(std::min<std::uint64_t>(records, 1ull << 32));
        if (bound <= bits_.size()) return;
        bits_.resize(bound, false);
        for (auto it = others_.begin(); it != others_.end();) {
            if (*it < bits_.size()) {
                bits_[*it] = true;
                it = others_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // False when the number was in already.
    bool Insert(std::uint32_t number) {
        if (number >= bits_.size()) return others_.insert(number).second;
        if (bits_[number]) return false;
        bits_[number] = true;
        return true;
    }
    bool Contains(std::uint32_t number) const {
        return number < bits_.size() ? bits_[number] : others_.contains(number);
    }

  private:
    std::vector<bool> bits_;
    std::unordered_set<std::uint32_t> others_;
};

}  // namespace tarvik
