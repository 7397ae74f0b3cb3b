#include "catalogue/folder_table.h"

namespace tarvik {

namespace {

// Entries between two progress positions: often enough for a bar, rare enough that a
// million entries cost a few hundred calls.
constexpr std::size_t kEntriesPerReport = 4096;

void Report(ProgressSink* progress, std::uint64_t position, bool last) {
    if (progress != nullptr && (last || position % kEntriesPerReport == 0))
        progress->SetPosition(position);
}

}  // namespace

FolderTable BuildFolderTable(const Catalogue& catalogue, ProgressSink* progress) {
    FolderTable table;
    std::size_t directories = 0;
    const std::size_t count = catalogue.Count();
    std::uint64_t passed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        table.totalSize_ += catalogue.SizeAt(i);
        if (catalogue.IsDirectoryAt(i)) ++directories;
        ++passed;
        Report(progress, passed, passed == count);
    }

    table.folders_.reserve(directories);
    for (std::size_t i = 0; i < count; ++i) {
        if (catalogue.IsDirectoryAt(i)) {
            const auto position = static_cast<std::uint32_t>(i);
            table.folders_.push_back(position);
            table.byParent_.Add(catalogue.ParentAt(i), position);
        }
        ++passed;
        Report(progress, passed, passed == 2 * count);
    }
    return table;
}

}  // namespace tarvik
