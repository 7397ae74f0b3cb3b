#pragma once
// The value of an $INDEX_ROOT attribute and the index node header it shares with INDX
// blocks.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/byte_view.h"

namespace tarvik {

// Where an index node's entries lie, relative to the node header's own start.
struct IndexNodeHeader {
    static constexpr std::size_t kEntriesOffsetOffset = 0x00;
    static constexpr std::size_t kUsedSizeOffset = 0x04;
    static constexpr std::size_t kAllocatedSizeOffset = 0x08;
    static constexpr std::size_t kFlagsOffset = 0x0C;
    static constexpr std::size_t kSize = 0x10;
    static constexpr std::uint8_t kFlagHasChildren = 0x01;  // an index allocation exists

    std::uint32_t entriesOffset = 0;
    std::uint32_t usedSize = 0;  // end of the last entry
    std::uint32_t allocatedSize = 0;
    std::uint8_t flags = 0;

    bool hasChildren() const { return (flags & kFlagHasChildren) != 0; }

    static std::optional<IndexNodeHeader> Parse(ByteView bytes);

    // The entries of a node whose header starts at `headerOffset` in `container`: from
    // headerOffset + entries offset to headerOffset + used size, cut at the container's
    // end. Empty when the entries offset lies past it. Its start in the container:
    // EntriesStart().
    ByteView Entries(ByteView container, std::size_t headerOffset) const;
    std::size_t EntriesStart(std::size_t headerOffset) const {
        return headerOffset + entriesOffset;
    }
};

struct IndexRoot {
    static constexpr std::size_t kAttributeTypeOffset = 0x00;
    static constexpr std::size_t kCollationRuleOffset = 0x04;
    static constexpr std::size_t kBlockSizeOffset = 0x08;
    static constexpr std::size_t kClustersPerBlockOffset = 0x0C;
    static constexpr std::size_t kNodeHeaderOffset = 0x10;

    std::uint32_t attributeType = 0;  // 0x30 ($FILE_NAME) for a folder's $I30
    std::uint32_t collationRule = 0;
    std::uint32_t blockSizeBytes = 0;  // of each INDX block of the index allocation
    std::uint8_t clustersPerBlock = 0;
    IndexNodeHeader node;

    // The INDX block size in 512-byte sectors, when the stored size is a usable one
    // (a non-zero multiple of 512 up to 64 KiB).
    std::optional<std::uint32_t> BlockSectors() const;

    // The entries area inside the value bytes; its start within them: EntriesStart().
    ByteView Entries(ByteView value) const { return node.Entries(value, kNodeHeaderOffset); }
    std::size_t EntriesStart() const { return node.EntriesStart(kNodeHeaderOffset); }

    static std::optional<IndexRoot> Parse(ByteView value);
};

}  // namespace tarvik
