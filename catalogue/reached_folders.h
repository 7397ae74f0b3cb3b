#pragma once
// The folder numbers some chain of folders from the root leads to: an entry whose parent
// number is not one of them is held by no folder of the tree.
#include <cstdint>
#include <unordered_set>

#include "catalogue/catalogue.h"

namespace tarvik {

class ReachedFolders {
  public:
    explicit ReachedFolders(const Catalogue& catalogue);
    // Asked in stored order, the entries of one folder mostly come one after another:
    // the answer for the last number asked is kept.
    bool Contains(std::uint32_t number) {
        if (number != lastNumber_) {
            lastNumber_ = number;
            lastReached_ = reached_.contains(number);
        }
        return lastReached_;
    }

  private:
    std::unordered_set<std::uint32_t> reached_{kRootFolderNumber};
    std::uint32_t lastNumber_ = kRootFolderNumber;
    bool lastReached_ = true;
};

}  // namespace tarvik
