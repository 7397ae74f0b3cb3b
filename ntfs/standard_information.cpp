#include "ntfs/standard_information.h"

namespace tarvik {

std::optional<StandardInformation> StandardInformation::Parse(ByteView value) {
    if (!value.has(0, kMinimumSize)) return std::nullopt;
    StandardInformation si;
    si.creationTime = *value.u64(kCreationTimeOffset);
    si.modificationTime = *value.u64(kModificationTimeOffset);
    si.recordChangeTime = *value.u64(kRecordChangeTimeOffset);
    si.accessTime = *value.u64(kAccessTimeOffset);
    si.fileAttributes = *value.u32(kFileAttributesOffset);
    return si;
}

}  // namespace tarvik
