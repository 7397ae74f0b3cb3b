#pragma once
// The header of an MFT FILE record.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/byte_view.h"

namespace tarvik {

// The boot sector gives the size of the MFT's records: 1024 bytes as Windows writes
// them on volumes with 512-byte sectors, 4096 on those with 4096-byte sectors. Sizes in
// between are accepted; anything else is not an NTFS volume this engine reads.
inline constexpr std::size_t kMinRecordSize = 1024;
inline constexpr std::size_t kMaxRecordSize = 4096;
inline constexpr std::uint32_t kMaxRecordSectors = kMaxRecordSize / 512;

// One MFT record's bytes, as many as the volume's record size.
using RecordBuffer = std::vector<std::uint8_t>;

// An NTFS file reference: record number in the low 48 bits, sequence number above.
inline constexpr std::uint64_t kRecordNumberMask = 0x0000'FFFF'FFFF'FFFFull;
inline std::uint64_t ReferenceRecordNumber(std::uint64_t reference) {
    return reference & kRecordNumberMask;
}
// The 32-bit record number the catalogue keeps.
inline std::uint32_t ReferenceRecord32(std::uint64_t reference) {
    return static_cast<std::uint32_t>(reference);
}

struct FileRecordHeader {
    static constexpr std::size_t kSignatureOffset = 0x00;
    static constexpr std::size_t kUsaOffsetOffset = 0x04;
    static constexpr std::size_t kUsaCountOffset = 0x06;
    static constexpr std::size_t kLogSequenceOffset = 0x08;
    static constexpr std::size_t kSequenceNumberOffset = 0x10;
    static constexpr std::size_t kLinkCountOffset = 0x12;
    static constexpr std::size_t kFirstAttributeOffset = 0x14;
    static constexpr std::size_t kFlagsOffset = 0x16;
    static constexpr std::size_t kUsedSizeOffset = 0x18;
    static constexpr std::size_t kAllocatedSizeOffset = 0x1C;
    static constexpr std::size_t kBaseReferenceOffset = 0x20;
    static constexpr std::size_t kRecordNumberOffset = 0x2C;
    // Records whose array starts here or later (Windows XP on) carry their own number.
    static constexpr std::size_t kUsaOffsetWithRecordNumber = 0x30;
    static constexpr std::size_t kMinimumSize = 0x30;

    static constexpr std::uint16_t kFlagInUse = 0x0001;
    static constexpr std::uint16_t kFlagDirectory = 0x0002;

    std::uint16_t usaOffset = 0;
    std::uint16_t usaCount = 0;
    std::uint64_t logSequenceNumber = 0;
    std::uint16_t sequenceNumber = 0;
    std::uint16_t linkCount = 0;
    std::uint16_t firstAttributeOffset = 0;
    std::uint16_t flags = 0;
    std::uint32_t usedSize = 0;
    std::uint32_t allocatedSize = 0;
    std::uint64_t baseReference = 0;
    std::optional<std::uint32_t> recordNumber;  // only in records that store it

    bool inUse() const { return (flags & kFlagInUse) != 0; }
    bool isDirectory() const { return (flags & kFlagDirectory) != 0; }
    // An extension record holds attributes of the base record it names.
    bool isExtension() const { return baseReference != 0; }

    // True when the bytes begin "FILE".
    static bool HasSignature(ByteView record);
    // Nothing unless the bytes begin "FILE" and hold the whole header.
    static std::optional<FileRecordHeader> Parse(ByteView record);
};

}  // namespace tarvik

#include <span>

#include "ntfs/fixup.h"

namespace tarvik {

// Gets a FILE record read from disk ready for decoding: applies its fix-up in place,
// with the array the header names. False when the bytes do not begin "FILE" or the array
// does not fit. A sector tail that did not hold the update sequence number is accepted
// (its bytes are still restored): a torn record may yet give a name and runs worth having.
bool PrepareFileRecord(std::span<std::uint8_t> record);

}  // namespace tarvik
