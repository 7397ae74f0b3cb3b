#pragma once
// An index of a catalogue's records kept beside them (a saved scan's file), checked
// against the records before a catalogue reads it in place: the records are the truth,
// and an index that disagrees with them in any way is not used.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "catalogue/catalogue_record.h"
#include "catalogue/number_index.h"

namespace tarvik {

// The positions of the records in order of number (those of one number rising), and
// each number with where its positions begin, the numbers rising.
struct KeptIndex {
    std::span<const std::uint32_t> positions;
    std::span<const KeptNumber> numbers;
};

// Which number of a record an index goes by.
enum class IndexKey { kNumber, kParent };

// Why `index` is not the index of `records` by `key`, in words; nothing when it is: the
// numbers rise, the first one's positions begin the list, each one's begin after the
// one before's (so each has at least one), the list is as long as the records, and the
// positions of each number rise and are those of records with that number. Each record
// is then listed exactly once. One pass over the positions.
std::optional<std::string> KeptIndexMismatch(std::span<const CatalogueRecord> records,
                                             const KeptIndex& index, IndexKey key);

}  // namespace tarvik
