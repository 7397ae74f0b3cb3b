#pragma once
// The numbers of every folder the scan has catalogued or made, in the order found. The
// lost-entry phase asks it, once per entry, whether a parent number is a known folder,
// so membership is a hash lookup rather than a walk of the list.
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_set>
#include <vector>

namespace tarvik {

class DirectoryIdList {
  public:
    // Adds the number at the end; a number added twice is listed twice.
    void Append(std::uint32_t number);
    // Is-known-directory: whether the number was ever appended.
    bool Contains(std::uint32_t number) const { return known_.contains(number); }

    std::size_t Count() const { return numbers_.size(); }
    std::span<const std::uint32_t> Numbers() const { return numbers_; }
    void Clear();

  private:
    std::vector<std::uint32_t> numbers_;
    std::unordered_set<std::uint32_t> known_;
};

}  // namespace tarvik
