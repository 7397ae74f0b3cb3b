// A saved scan of arbitrary bytes, its checksum made to match so that the reader behind
// it is reached: never reads out of bounds, every entry it accepts can be handed out,
// and a folder tree it accepts places every entry once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "session/check_tree.h"
#include "session/saved_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file(data, data + size);
    // Half the inputs keep their own checksum, so the check itself is fuzzed too.
    if (size > 0 && (data[size - 1] & 1) != 0) tarvik::SealSavedScan(file);
    std::string error;
    const auto scan = tarvik::SavedScan::Parse(std::move(file), error);
    if (!scan) {
        if (error.empty()) std::abort();
        return 0;
    }
    const auto next = scan->Entries();
    std::size_t count = 0;
    while (const tarvik::CatalogueEntry* entry = next()) {
        if (entry->Name().size() > tarvik::kEntryNameMaxBytes) std::abort();
        ++count;
    }
    if (count != scan->entryCount()) std::abort();
    const tarvik::Catalogue catalogue = scan->MakeCatalogue();
    if (catalogue.Count() != count || scan->marks().size() != count) std::abort();
    // The indexes were checked against the entries: each entry is found by both numbers.
    for (std::size_t i = 0; i < count; ++i)
        if (catalogue.WithNumber(catalogue.NumberAt(i)).empty() ||
            catalogue.ChildrenOf(catalogue.ParentAt(i)).empty())
            std::abort();
    if (auto placement = scan->Placement(catalogue, error)) {
        const tarvik::CheckTree tree(catalogue, std::move(*placement));
        for (std::size_t p = 0; p < tree.Placed().size(); ++p)
            if (tree.PositionOfIndex(tree.Placed()[p].catalogueIndex) != p) std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    if (scan->weighed() && (scan->conditions().size() != count || scan->times().size() != count))
        std::abort();
    // The table reads the records where the file holds them: each one, once.
    const tarvik::ConditionTable table = scan->MakeConditions();
    if (table.Count() != (scan->weighed() ? count : 0)) std::abort();
    static volatile std::uint64_t read = 0;
    for (std::size_t i = 0; i < table.Count(); ++i)
        read = table.Times(i).access + static_cast<std::uint8_t>(table.Condition(i).readGap);
    return 0;
}
