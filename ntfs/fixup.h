#pragma once
// The update sequence ("fix-up") of multi-sector NTFS structures (FILE records, INDX
// blocks). When such a structure is written, the last two bytes of each 512-byte stride
// are replaced by the update sequence number and the bytes they held are kept in the
// update sequence array; reading puts them back. The stride is 512 bytes whatever the
// volume's sector size: a 4096-byte record on a volume of 4096-byte sectors has eight.
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/byte_view.h"

namespace tarvik {

inline constexpr std::size_t kFixupStride = 512;
inline constexpr std::size_t kUsaOffsetField = 0x04;
inline constexpr std::size_t kUsaCountField = 0x06;

enum class FixupStatus {
    kApplied,         // every sector restored and its tail held the update sequence number
    kTailMismatch,    // restored, but some sector tail did not hold the number (torn write)
    kArrayDoesNotFit  // the array or its sectors lie outside the structure: nothing changed
};

// Applies the array at usaOffset holding usaCount entries (the update sequence number
// and one entry per sector): the tail of sector k takes entry k + 1. The array must lie
// in the first sector before its tail and every sector it names inside the bytes.
FixupStatus ApplyFixup(std::span<std::uint8_t> bytes, std::size_t usaOffset, std::size_t usaCount);

// The same, with the offset and count read from the structure's header (offsets 4, 6).
FixupStatus ApplyFixup(std::span<std::uint8_t> bytes);

inline bool FixupUsable(FixupStatus status) {
    return status != FixupStatus::kArrayDoesNotFit;
}

}  // namespace tarvik
