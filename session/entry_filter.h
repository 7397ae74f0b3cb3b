#pragma once
// Narrowing a listing to the entries a user is looking for: a name (part of it, or a
// wildcard pattern), deleted entries only, some conditions, a size range, a range of
// creation dates, and whether the volume's own system files are left out. The desktop program's
// filter bar shows exactly the entries that pass.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/file_condition.h"
#include "catalogue/catalogue.h"

namespace tarvik {

struct EntryFilter {
    std::string text;  // as Find takes it (session/find_entry.h); empty: any name
    bool matchCase = false;
    bool deletedOnly = false;
    // The conditions let through; empty: any. Needs the condition table: without one,
    // no file passes a condition choice.
    std::vector<FileCondition> conditions;
    std::optional<std::uint64_t> minSize;  // bytes, both ends included
    std::optional<std::uint64_t> maxSize;
    // Creation time, as the catalogue keeps it (100 ns since 1601), both ends included.
    std::optional<std::uint64_t> createdFrom;
    std::optional<std::uint64_t> createdTo;
    bool hideSystem = false;  // leaves out what IsSystemEntry names

    // Only the name is asked for: folders pass as files do.
    bool NameOnly() const;
};

// The volume's own files: the metafiles of records 0-15 in the root folder ($MFT,
// $LogFile, $Bitmap, $Extend, ...) and everything below $Extend. Their names are checked
// too, so a user's file is never taken for one.
bool IsSystemEntry(const Catalogue& catalogue, std::size_t index);

// Whether catalogue entry `index` passes. A range or a condition choice lets no folder
// through (they have neither size nor condition of their own).
bool EntryPasses(const Catalogue& catalogue, std::size_t index, const EntryFilter& filter,
                 const ConditionTable* conditions);

// Every catalogue index that passes, in catalogue order.
std::vector<std::size_t> FilterCatalogue(const Catalogue& catalogue, const EntryFilter& filter,
                                         const ConditionTable* conditions);

}  // namespace tarvik
