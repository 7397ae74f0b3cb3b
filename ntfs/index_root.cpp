#include "ntfs/index_root.h"

namespace tarvik {
namespace {
constexpr std::uint32_t kSectorBytes = 512;
constexpr std::uint32_t kLargestBlockBytes = 64 * 1024;
}  // namespace

std::optional<IndexNodeHeader> IndexNodeHeader::Parse(ByteView bytes) {
    if (!bytes.has(0, kSize)) return std::nullopt;
    IndexNodeHeader h;
    h.entriesOffset = *bytes.u32(kEntriesOffsetOffset);
    h.usedSize = *bytes.u32(kUsedSizeOffset);
    h.allocatedSize = *bytes.u32(kAllocatedSizeOffset);
    h.flags = *bytes.u8(kFlagsOffset);
    return h;
}

ByteView IndexNodeHeader::Entries(ByteView container, std::size_t headerOffset) const {
    if (headerOffset > container.size()) return {};
    const std::size_t room = container.size() - headerOffset;
    if (entriesOffset >= room || usedSize <= entriesOffset) return {};
    const std::size_t end = usedSize < room ? usedSize : room;
    return container.sub(headerOffset + entriesOffset, end - entriesOffset);
}

std::optional<std::uint32_t> IndexRoot::BlockSectors() const {
    if (blockSizeBytes == 0 || blockSizeBytes % kSectorBytes != 0) return std::nullopt;
    if (blockSizeBytes > kLargestBlockBytes) return std::nullopt;
    return blockSizeBytes / kSectorBytes;
}

std::optional<IndexRoot> IndexRoot::Parse(ByteView value) {
    const auto node = IndexNodeHeader::Parse(value.sub(kNodeHeaderOffset, IndexNodeHeader::kSize));
    if (!node) return std::nullopt;
    IndexRoot root;
    root.attributeType = *value.u32(kAttributeTypeOffset);
    root.collationRule = *value.u32(kCollationRuleOffset);
    root.blockSizeBytes = *value.u32(kBlockSizeOffset);
    root.clustersPerBlock = *value.u8(kClustersPerBlockOffset);
    root.node = *node;
    return root;
}

}  // namespace tarvik
