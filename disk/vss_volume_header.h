#pragma once
// The Volume Shadow Copy header an NTFS volume keeps at byte 0x1E00 (inside the boot
// area's unused sectors): a fixed identifier, then where the catalogue of shadow copies
// lies. One sector tells whether a volume has shadow copies at all, so a volume without
// them costs one read.
#include <cstdint>
#include <optional>

#include "common/byte_view.h"

namespace tarvik {

struct VssVolumeHeader {
    static constexpr std::uint64_t kVolumeOffset = 0x1E00;
    static constexpr std::size_t kSize = 128;
    // {3808876b-c176-4e48-b7ae-04046e6cc752} as stored.
    static constexpr std::uint8_t kIdentifier[16] = {0x6B, 0x87, 0x08, 0x38, 0x76, 0xC1,
                                                     0x48, 0x4E, 0xB7, 0xAE, 0x04, 0x04,
                                                     0x6E, 0x6C, 0xC7, 0x52};
    static constexpr std::uint32_t kVolumeHeaderType = 1;

    std::uint32_t version = 0;
    // Byte offset of the catalogue in the volume; 0 when no shadow copy was ever made
    // (or all were deleted).
    std::uint64_t catalogueOffset = 0;
    std::uint64_t maximumSize = 0;

    // Nothing when the bytes are not a VSS volume header (another identifier, another
    // record type, too short).
    static std::optional<VssVolumeHeader> Parse(ByteView bytes);

    bool HasCatalogue() const { return catalogueOffset != 0; }
};

}  // namespace tarvik
