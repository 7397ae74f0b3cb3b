#pragma once
// What the scan needs from one FILE record: its name, parent, times, flags and the size
// of its unnamed data. Takes a record whose fix-up has been applied (PrepareFileRecord).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/byte_view.h"
#include "ntfs/file_name.h"
#include "ntfs/file_record.h"

namespace tarvik {

class Attribute;

// Sees the attributes of a record as a walk over them meets them.
class AttributeVisitor {
  public:
    virtual void Visit(const Attribute& attribute) = 0;

  protected:
    ~AttributeVisitor() = default;
};

struct RecordSummary {
    FileRecordHeader header;
    // The best $FILE_NAME: the first in a namespace other than DOS, else the first DOS one.
    std::optional<FileName> fileName;
    // Every other name not in the DOS namespace: the record's further hard links (a
    // Win32 name's DOS twin is not a link of its own).
    std::vector<FileName> otherLinks;
    std::uint64_t parentReference = 0;  // of the chosen name
    std::uint32_t parentRecord = 0;     // its low 32 bits
    std::uint16_t flags = 0;            // record flags: bit 0 in use, bit 1 directory
    bool inUse = false;
    bool isDirectory = false;
    // The unnamed $DATA (named streams are passed over): initialized size (the value
    // length when resident), its low 32 bits as the catalogue keeps them, and the 64-bit
    // real size a recovery writes.
    std::uint64_t initializedSize = 0;
    std::uint32_t size = 0;
    std::uint64_t realSize = 0;
    bool hasData = false;  // the unnamed $DATA is in this record
    bool residentData = false;
    std::uint64_t creationTime = 0;  // $STANDARD_INFORMATION, FILETIME
    std::uint64_t modificationTime = 0;
    bool compressed = false;  // $STANDARD_INFORMATION says compressed
    // The record has an $ATTRIBUTE_LIST: its data or index may lie in extension records
    // only.
    bool hasAttributeList = false;
    std::uint64_t baseReference = 0;  // non-zero: an extension record

    bool hasName() const { return fileName.has_value(); }
    // The chosen name, UTF-8 and whole; empty when there is no $FILE_NAME.
    const std::string& name() const;
    bool isExtension() const { return baseReference != 0; }
};

// Nothing unless the record begins "FILE" with a whole header. The attributes are read
// up to the end marker or the first malformed one (a zero length, past the record).
// `alsoSee`, if given, is shown every attribute the walk meets, in record order: what else
// wants the record's attributes takes them from the same walk.
std::optional<RecordSummary> SummarizeRecord(ByteView record, AttributeVisitor* alsoSee = nullptr);

}  // namespace tarvik
