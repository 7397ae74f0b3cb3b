#include "ntfs/file_name.h"

#include "common/utf16.h"

namespace tarvik {

namespace {

// Fills `fn` from the value; false when it is shorter than its fixed fields or its name.
bool ReadFileName(ByteView value, FileName& fn) {
    using F = FileName;
    if (!value.has(0, F::kNameOffset)) return false;
    fn.nameLength = *value.u8(F::kNameLengthOffset);
    const ByteView name = value.sub(F::kNameOffset, std::size_t{fn.nameLength} * 2);
    if (name.size() != std::size_t{fn.nameLength} * 2) return false;
    fn.parentReference = *value.u64(F::kParentReferenceOffset);
    fn.creationTime = *value.u64(F::kCreationTimeOffset);
    fn.modificationTime = *value.u64(F::kModificationTimeOffset);
    fn.recordChangeTime = *value.u64(F::kRecordChangeTimeOffset);
    fn.accessTime = *value.u64(F::kAccessTimeOffset);
    fn.allocatedSize = *value.u64(F::kAllocatedSizeOffset);
    fn.realSize = *value.u64(F::kRealSizeOffset);
    fn.flags = *value.u32(F::kFlagsOffset);
    fn.reparseTag = *value.u32(F::kReparseTagOffset);
    fn.nameSpace = *value.u8(F::kNamespaceOffset);
    fn.name = DecodeName(name.span());
    return true;
}

}  // namespace

std::optional<FileName> FileName::Parse(ByteView value) {
    // Built where it is returned, every path returning this one object: every record
    // and every index entry has one, and its name need not be moved about.
    std::optional<FileName> result(std::in_place);
    if (!ReadFileName(value, *result)) result.reset();
    return result;
}

}  // namespace tarvik
