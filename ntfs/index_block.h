#pragma once
// One INDX block of a folder's index allocation.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "common/byte_view.h"
#include "ntfs/fixup.h"
#include "ntfs/index_root.h"

namespace tarvik {

struct IndexBlock {
    static constexpr std::size_t kVcnOffset = 0x10;
    static constexpr std::size_t kNodeHeaderOffset = 0x18;

    std::uint64_t vcn = 0;  // the block's place in the allocation, in clusters or blocks
    IndexNodeHeader node;
    ByteView entries;  // inside the bytes given to Parse, bounded by used and block size
    FixupStatus fixup = FixupStatus::kApplied;

    static bool HasSignature(ByteView block);

    // Checks "INDX", applies the fix-up in place and finds the entries area. Nothing when
    // the signature is wrong, the fix-up array does not fit or a sector tail does not
    // hold the update sequence number (a torn or overwritten block).
    static std::optional<IndexBlock> Parse(std::span<std::uint8_t> block);
};

}  // namespace tarvik
