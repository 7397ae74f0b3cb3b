#pragma once
// What the scan needs from one FILE record: where its data or folder index lies (the
// record walk) and the catalogue's fields (the record summary). Both take a record
// whose fix-up has been applied (PrepareFileRecord).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/byte_view.h"
#include "ntfs/attribute.h"
#include "ntfs/file_name.h"
#include "ntfs/file_record.h"

namespace tarvik {

inline constexpr std::uint8_t kLocatorFile = 'F';
inline constexpr std::uint8_t kLocatorDirectory = 'D';
inline constexpr std::uint8_t kLocatorNeither = 'i';

struct RecordLocator {
    // Offset in the record of: the run list (non-resident data or index allocation), the
    // unnamed $DATA attribute itself (resident data), or the first index entry (resident
    // index). 0 when there is nothing in this record to read (see RecordWalk).
    std::uint16_t position = 0;
    std::uint8_t resident = 0;  // 1 resident, 0 not
    std::uint8_t kind = kLocatorNeither;
    // Offset of the first index root entry when the folder also has an index
    // allocation and its root holds entries; else 0.
    std::uint16_t firstRootEntry = 0;
    std::uint8_t compressed = 0;  // $STANDARD_INFORMATION says compressed
};

// The literal walk examined at most nine attributes. A 1024-byte record holds at most
// 42, and a file with several hard links or extended attributes can have its $DATA
// past the ninth, so the walk is unlimited unless a caller asks for a limit.
inline constexpr std::size_t kLiteralAttributeLimit = 9;

struct RecordWalk {
    bool ok = false;  // the record's own attributes locate its data or folder index
    RecordLocator locator;
    // Set whenever the walk met an $ATTRIBUTE_LIST, even when it then failed: the data
    // or index of such a record may lie in its extension records only.
    bool hasAttributeList = false;
    // Offsets in the record of the attributes met (nothing when not met).
    std::optional<std::uint16_t> attributeListOffset;
    std::optional<std::uint16_t> dataOffset;             // unnamed $DATA
    std::optional<std::uint16_t> indexRootOffset;        // $I30 $INDEX_ROOT
    std::optional<std::uint16_t> indexAllocationOffset;  // $I30 $INDEX_ALLOCATION
};

// Walks the attributes. Ends, successfully, at the unnamed $DATA (kind 'F'; named
// streams are passed over) or at the $I30 index (kind 'D': its $INDEX_ALLOCATION run
// list when there is one, the root's entries when the index lives in the root alone,
// position 0 when the root has children but the allocation lies in an extension
// record). Fails at the end marker, a malformed attribute or the limit: then the kind
// follows the record flags (3 'D', 1 'F', else 'i') and the positions are 0.
RecordWalk WalkRecord(ByteView record, std::size_t attributeLimit = AttributeWalker::kNoLimit);

// The run list a successful non-resident walk located: from the position to the end of
// the record (the decoder stops at the list's end); empty when there is none.
ByteView LocatedRunList(ByteView record, const RecordLocator& locator);

// The entries area of the record's $I30 $INDEX_ROOT; empty when it has none.
ByteView IndexRootEntries(ByteView record);

struct RecordSummary {
    FileRecordHeader header;
    RecordWalk walk;
    // The best $FILE_NAME: the first in a namespace other than DOS, else the first DOS one.
    std::optional<FileName> fileName;
    std::string name;  // UTF-8, at most 255 bytes; empty when there is no $FILE_NAME
    std::uint64_t parentReference = 0;  // of the chosen name
    std::uint32_t parentRecord = 0;     // its low 32 bits
    std::uint16_t flags = 0;            // record flags: bit 0 in use, bit 1 directory
    bool inUse = false;
    bool isDirectory = false;
    // The unnamed $DATA: initialized size (the value length when resident), its low 32
    // bits as the catalogue keeps them, and the 64-bit real size a recovery writes.
    std::uint64_t initializedSize = 0;
    std::uint32_t size = 0;
    std::uint64_t realSize = 0;
    bool hasData = false;  // the unnamed $DATA is in this record
    bool residentData = false;
    std::uint64_t creationTime = 0;  // $STANDARD_INFORMATION, FILETIME
    bool compressed = false;
    bool hasAttributeList = false;
    std::uint64_t baseReference = 0;  // non-zero: an extension record

    bool hasName() const { return fileName.has_value(); }
    bool isExtension() const { return baseReference != 0; }
};

// Nothing unless the record begins "FILE" with a whole header.
std::optional<RecordSummary> SummarizeRecord(ByteView record);

}  // namespace tarvik
