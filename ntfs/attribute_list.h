#pragma once
// The $ATTRIBUTE_LIST of a record whose attributes spread over extension records: one
// entry per attribute (or per extent of a long non-resident attribute), naming the
// record that holds it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_view.h"
#include "common/failure.h"
#include "disk/sector_source.h"
#include "ntfs/attribute.h"
#include "ntfs/file_record.h"
#include "ntfs/run_list.h"

namespace tarvik {

struct AttributeListEntry {
    static constexpr std::size_t kTypeOffset = 0x00;
    static constexpr std::size_t kLengthOffset = 0x04;
    static constexpr std::size_t kNameLengthOffset = 0x06;
    static constexpr std::size_t kNameOffsetOffset = 0x07;
    static constexpr std::size_t kStartVcnOffset = 0x08;
    static constexpr std::size_t kBaseReferenceOffset = 0x10;
    static constexpr std::size_t kAttributeIdOffset = 0x18;
    static constexpr std::size_t kMinimumSize = 0x1A;

    std::uint32_t type = 0;
    std::uint16_t length = 0;
    std::uint8_t nameLength = 0;
    std::uint8_t nameOffset = 0;
    std::uint64_t startVcn = 0;
    std::uint64_t reference = 0;  // of the record that holds the attribute
    std::uint16_t attributeId = 0;
    std::string name;  // UTF-8

    std::uint32_t recordNumber() const { return static_cast<std::uint32_t>(reference); }
};

// Every entry of the list's value bytes, in order. Stops at a length of zero or below
// the entry's fixed part, at an entry running past the bytes, and at the end.
std::vector<AttributeListEntry> ParseAttributeList(ByteView value);

// One extent of an attribute: the record holding it and the attribute's id there.
struct AttributeExtent {
    std::uint32_t recordNumber = 0;
    std::uint16_t attributeId = 0;
    std::uint64_t startVcn = 0;
};

// In list order: the extents of the unnamed $DATA (a file's data) ...
std::vector<AttributeExtent> UnnamedDataExtents(const std::vector<AttributeListEntry>& list);
// ... and of the $I30 $INDEX_ALLOCATION (a folder's index blocks).
std::vector<AttributeExtent> IndexAllocationExtents(const std::vector<AttributeListEntry>& list);
// The record holding the $I30 $INDEX_ROOT, when the list names one.
std::optional<std::uint32_t> IndexRootRecord(const std::vector<AttributeListEntry>& list);

// Gets the raw bytes of one MFT record by number (false when it cannot be read). The
// bytes are as on disk; ExtensionRecords applies the fix-up.
using RecordFetcher = std::function<bool(std::uint32_t recordNumber, RecordBuffer& record)>;

// The records an attribute list names, each fetched once: the base record itself, or
// an extension record, which must take its fix-up, be a FILE record and name the base
// record as its base.
class ExtensionRecords {
  public:
    ExtensionRecords(ByteView baseRecord, std::uint32_t baseRecordNumber,
                     const RecordFetcher& fetch)
        : base_(baseRecord), baseNumber_(baseRecordNumber), fetch_(fetch) {}

    // Nothing when the record cannot be read or is not an extension of the base.
    std::optional<ByteView> Get(std::uint32_t recordNumber);

    // The extent's attribute of that type and name in its record: the one with the
    // list's attribute id, else the first that is resident or starts at the extent's
    // first VCN.
    std::optional<Attribute> FindExtent(const AttributeExtent& extent, std::uint32_t type,
                                        std::string_view name);

  private:
    ByteView base_;
    std::uint32_t baseNumber_;
    RecordFetcher fetch_;
    std::map<std::uint32_t, std::optional<RecordBuffer>> fetched_;
};

// An attribute list larger than this is not a real one.
inline constexpr std::size_t kMaxAttributeListBytes = 4 * 1024 * 1024;

// The value bytes of the base record's (fixed-up) attribute list: copied when resident,
// read through its runs on the source when not (clusters of `sectorsPerCluster` sectors;
// cut to its real size, bounded by kMaxAttributeListBytes; sparse runs read as zeros).
// Nothing when the record has no list, or a run cannot be placed or read.
std::optional<std::vector<std::uint8_t>> ReadAttributeListValue(ByteView baseRecord,
                                                                SectorSource& source,
                                                                std::uint32_t sectorsPerCluster);

enum class ExtentKind { kUnnamedData, kIndexAllocation };

struct ExtentRunsResult {
    std::size_t extentsUsed = 0;    // extents whose runs were appended
    std::size_t extentsMissed = 0;  // extents whose record could not be read or did not fit
    // Extents whose run list ended at a fault: the runs before it are appended, and the
    // first such fault is kept.
    std::size_t extentsCutShort = 0;
    Failure firstFault;
};

// Appends the runs of every non-resident extent of the attribute, in list order, to
// `runs` (each extent's runs as its own run list decodes them, at most kMaxRuns in all).
// The base record's own extents are taken from `baseRecord`; the others are fetched.
ExtentRunsResult AppendExtentRuns(ByteView baseRecord, std::uint32_t baseRecordNumber,
                                  const std::vector<AttributeListEntry>& list, ExtentKind kind,
                                  const RecordFetcher& fetch, std::vector<DataRun>& runs);

}  // namespace tarvik
