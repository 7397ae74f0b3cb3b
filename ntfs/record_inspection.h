#pragma once
// What the scan takes from one FILE record.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ntfs/file_record.h"
#include "ntfs/record_summary.h"

namespace tarvik {

// A further name of a record in another folder or under another name (a hard link).
struct RecordLink {
    std::string name;  // UTF-8
    std::uint32_t parent = 0;
    std::uint16_t parentSequence = 0;
};

struct InspectedRecord {
    std::uint16_t flags = 0;          // 0x01 in use, 0x02 directory
    bool isBase = true;               // false for an extension record of another record
    std::optional<std::string> name;  // UTF-8; the best of its names
    std::uint32_t parent = 0;
    std::uint16_t parentSequence = 0;    // the sequence the parent reference names
    std::vector<RecordLink> otherLinks;  // hard links beside the name above
    // The number and sequence the record stores for itself (its number only in records of
    // NTFS 3.1 and later).
    std::optional<std::uint32_t> ownNumber;
    std::uint16_t sequence = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint64_t size = 0;        // real size of the unnamed data (a resident value's length)
    bool hasData = false;          // the unnamed data (its first piece) is in this record
    std::uint32_t baseNumber = 0;  // an extension record's base record (low 32 bits)
    bool compressed = false;
    bool hasAttributeList = false;

    bool inUse() const { return (flags & 0x01) != 0; }
    bool isDirectory() const { return (flags & 0x02) != 0; }
};

// Applies the fix-up in place and reads the record; nothing when it is not a FILE
// record, its fix-up fails or its attributes cannot be walked.
std::optional<InspectedRecord> InspectRecord(std::span<std::uint8_t> record);
// The same for a record whose fix-up PrepareFileRecord has already applied.
// `alsoSee`, if given, is shown every attribute of the record as the one walk meets it.
std::optional<InspectedRecord> InspectPreparedRecord(std::span<const std::uint8_t> record,
                                                     AttributeVisitor* alsoSee = nullptr);

// The name of a stored record (fix-up applied to a copy), for number confirmation.
std::optional<std::string> RecordName(std::span<const std::uint8_t> record);
bool HasFileSignature(std::span<const std::uint8_t> record);

}  // namespace tarvik
