#include "catalogue/folder_table.h"

namespace tarvik {

namespace {

// Entries between two progress positions: often enough for a bar, rare enough that a
// million entries cost a few hundred calls.
constexpr std::size_t kEntriesPerReport = 4096;

void Report(ProgressSink* progress, std::uint64_t position, bool last) {
    if (progress != nullptr && (last || position % (2 * kEntriesPerReport) == 0))
        progress->SetPosition(position);
}

}  // namespace

FolderTable BuildFolderTable(const Catalogue& catalogue, ProgressSink* progress) {
    FolderTable table;
    const std::size_t count = catalogue.Count();
    for (std::size_t i = 0; i < count; ++i) {
        table.totalSize_ += catalogue.SizeAt(i);
        if (catalogue.IsDirectoryAt(i)) {
            const auto position = static_cast<std::uint32_t>(i);
            table.folders_.push_back(position);
            table.byParent_.Add(catalogue.ParentAt(i), position);
        }
        // Counted as two passes over the entries, as the range callers set says.
        Report(progress, 2 * (i + 1), i + 1 == count);
    }
    return table;
}

}  // namespace tarvik
