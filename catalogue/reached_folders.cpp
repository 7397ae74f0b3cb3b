#include "catalogue/reached_folders.h"

#include <vector>

namespace tarvik {

ReachedFolders::ReachedFolders(const Catalogue& catalogue) {
    std::vector<std::uint32_t> pending{kRootFolderNumber};
    while (!pending.empty()) {
        const std::uint32_t folder = pending.back();
        pending.pop_back();
        for (const std::size_t index : catalogue.ChildrenOf(folder)) {
            const std::uint32_t number = catalogue.NumberAt(index);
            if (catalogue.IsDirectoryAt(index) && reached_.insert(number).second)
                pending.push_back(number);
        }
    }
}

}  // namespace tarvik
