#include "ntfs/file_name.h"

#include "common/utf16.h"

namespace tarvik {

std::optional<FileName> FileName::Parse(ByteView value) {
    if (!value.has(0, kNameOffset)) return std::nullopt;
    FileName fn;
    fn.nameLength = *value.u8(kNameLengthOffset);
    const ByteView name = value.sub(kNameOffset, std::size_t{fn.nameLength} * 2);
    if (name.size() != std::size_t{fn.nameLength} * 2) return std::nullopt;
    fn.parentReference = *value.u64(kParentReferenceOffset);
    fn.creationTime = *value.u64(kCreationTimeOffset);
    fn.modificationTime = *value.u64(kModificationTimeOffset);
    fn.recordChangeTime = *value.u64(kRecordChangeTimeOffset);
    fn.accessTime = *value.u64(kAccessTimeOffset);
    fn.allocatedSize = *value.u64(kAllocatedSizeOffset);
    fn.realSize = *value.u64(kRealSizeOffset);
    fn.flags = *value.u32(kFlagsOffset);
    fn.reparseTag = *value.u32(kReparseTagOffset);
    fn.nameSpace = *value.u8(kNamespaceOffset);
    fn.name = DecodeName(name.span());
    return fn;
}

}  // namespace tarvik
