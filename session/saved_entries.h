#pragma once
// The entries of a kept scan: their count and the length of their names, zero bytes up
// to an 8-byte boundary of the file, one 40-byte record per entry in the catalogue's own
// layout (catalogue/catalogue_record.h) whose name reference is the name's place among
// the names, the names back to back, one check mark byte per entry, zero bytes up to an
// 8-byte boundary, then the catalogue's two indexes, by own number and by parent number:
// each a count of numbers, that many pairs of 32-bit number and count, rising by number,
// then one 32-bit position per entry in order of number, and zero bytes up to an 8-byte
// boundary; last the folder placement of the entries (catalogue/tree_placement.h), 16
// bytes each: the entry's stored position, its depth, its folder's position, 1 when no
// folder holds it, and three zero bytes. A reopened catalogue reads records, names and
// indexes where the mapped file holds them, once every part was checked against the
// records, and its check tree reads the placement there once it was checked too.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/check_marks.h"
#include "catalogue/tree_placement.h"
#include "common/byte_view.h"

namespace tarvik {

// Appends the catalogue's entries, with their marks (none: every entry unchecked).
void PutSavedEntries(std::vector<std::uint8_t>& file, const Catalogue& catalogue,
                     const CheckMarks* marks);

// The entries as checked: where they end in the file, their marks, and what a catalogue
// reads of them (in the file itself when the machine and the alignment allow, else a
// copy the parts keep).
struct SavedEntries {
    std::size_t count = 0;
    std::size_t end = 0;
    const std::uint8_t* marks = nullptr;
    KeptRecords kept;
    std::span<const PlacedEntry> placement;  // kept alive by kept.keeper; not yet checked
};

// Reads the entries from `at` on in `file`, which `keeper` keeps, and checks every part:
// each record's name lies among the names, no name holds a NUL (a catalogue's names
// never do), no entry is a carved one (a kept scan holds none), each check mark is one
// there is, each index agrees with the records. The reason when one fails.
std::optional<SavedEntries> CheckSavedEntries(const std::shared_ptr<const std::uint8_t>& keeper,
                                              ByteView file, std::size_t at, std::string& error);

}  // namespace tarvik
