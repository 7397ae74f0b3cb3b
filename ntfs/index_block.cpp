#include "ntfs/index_block.h"

namespace tarvik {

bool IndexBlock::HasSignature(ByteView block) {
    return block.has(0, 4) && block.data()[0] == 'I' && block.data()[1] == 'N' &&
           block.data()[2] == 'D' && block.data()[3] == 'X';
}

std::optional<IndexBlock> IndexBlock::Parse(std::span<std::uint8_t> block) {
    const ByteView view(block);
    if (!HasSignature(view)) return std::nullopt;
    IndexBlock result;
    result.fixup = ApplyFixup(block);
    if (result.fixup != FixupStatus::kApplied) return std::nullopt;
    const auto node = IndexNodeHeader::Parse(view.sub(kNodeHeaderOffset, IndexNodeHeader::kSize));
    if (!node) return std::nullopt;
    result.vcn = *view.u64(kVcnOffset);
    result.node = *node;
    result.entries = node->Entries(view, kNodeHeaderOffset);
    return result;
}

}  // namespace tarvik
