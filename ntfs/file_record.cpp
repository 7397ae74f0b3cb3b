#include "ntfs/file_record.h"

namespace tarvik {

bool FileRecordHeader::HasSignature(ByteView record) {
    return record.has(kSignatureOffset, 4) && record.data()[0] == 'F' && record.data()[1] == 'I' &&
           record.data()[2] == 'L' && record.data()[3] == 'E';
}

std::optional<FileRecordHeader> FileRecordHeader::Parse(ByteView record) {
    if (!HasSignature(record) || !record.has(0, kMinimumSize)) return std::nullopt;
    FileRecordHeader h;
    h.usaOffset = *record.u16(kUsaOffsetOffset);
    h.usaCount = *record.u16(kUsaCountOffset);
    h.logSequenceNumber = *record.u64(kLogSequenceOffset);
    h.sequenceNumber = *record.u16(kSequenceNumberOffset);
    h.linkCount = *record.u16(kLinkCountOffset);
    h.firstAttributeOffset = *record.u16(kFirstAttributeOffset);
    h.flags = *record.u16(kFlagsOffset);
    h.usedSize = *record.u32(kUsedSizeOffset);
    h.allocatedSize = *record.u32(kAllocatedSizeOffset);
    h.baseReference = *record.u64(kBaseReferenceOffset);
    if (h.usaOffset >= kUsaOffsetWithRecordNumber && h.firstAttributeOffset >= kMinimumSize) {
        h.recordNumber = record.u32(kRecordNumberOffset);
    }
    return h;
}

}  // namespace tarvik

namespace tarvik {

bool PrepareFileRecord(std::span<std::uint8_t> record) {
    if (!FileRecordHeader::HasSignature(ByteView(record))) return false;
    return FixupUsable(ApplyFixup(record));
}

}  // namespace tarvik
