#include "catalogue/folder_table.h"

namespace tarvik {

FolderTable BuildFolderTable(const Catalogue& catalogue, ProgressSink* progress) {
    FolderTable table;
    std::size_t directories = 0;
    for (const CatalogueEntry& entry : catalogue.Entries()) {
        table.totalSize_ += entry.size;
        if (entry.IsDirectory()) ++directories;
        if (progress != nullptr) progress->StepIt();
    }

    table.folders_.reserve(directories);
    const std::span<const CatalogueEntry> entries = catalogue.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].IsDirectory()) {
            const auto position = static_cast<std::uint32_t>(i);
            table.folders_.push_back(position);
            table.byParent_.Add(entries[i].parent, position);
        }
        if (progress != nullptr) progress->StepIt();
    }
    return table;
}

}  // namespace tarvik
