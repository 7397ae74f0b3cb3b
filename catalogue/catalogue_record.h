#pragma once
// One entry as a catalogue keeps it: 40 bytes, the three 64-bit numbers (two times and a
// size), the two 32-bit numbers, and one word holding the name's place in the name
// store, its length, the flags and the attribute byte. A saved scan keeps its entries in
// this layout, little-endian, so that a reopened catalogue reads them where they lie.
#include <cstddef>
#include <cstdint>

namespace tarvik {

struct CatalogueRecord {
    std::uint64_t creationTime;
    std::uint64_t modificationTime;
    std::uint64_t size;
    std::uint32_t parent;
    std::uint32_t number;
    // Bits 0-39 the name's reference, 40-49 its length, 50-55 the flags (deleted, made
    // up, made up second, compressed, then two bits of how a carved entry was found),
    // 56-63 the attribute byte.
    std::uint64_t word;
};
static_assert(sizeof(CatalogueRecord) == 40);

inline constexpr std::uint64_t kRecordNameReferenceMask = (std::uint64_t{1} << 40) - 1;
inline constexpr int kRecordLengthShift = 40;
inline constexpr int kRecordFlagShift = 50;
inline constexpr int kRecordAttributeShift = 56;
// The flags' two bits of a carved entry, counted from kRecordFlagShift.
inline constexpr int kRecordCarvedFlagShift = 4;

inline std::uint64_t RecordNameReference(std::uint64_t word) {
    return word & kRecordNameReferenceMask;
}
inline std::size_t RecordNameLength(std::uint64_t word) {
    return (word >> kRecordLengthShift) & 0x3FF;
}
// The word with its name's reference replaced.
inline std::uint64_t WithNameReference(std::uint64_t word, std::uint64_t reference) {
    return (word & ~kRecordNameReferenceMask) | (reference & kRecordNameReferenceMask);
}

}  // namespace tarvik
