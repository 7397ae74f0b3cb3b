#pragma once
// Attribute headers of a FILE record, and a bounded walk over a record's attributes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/byte_view.h"

namespace tarvik {

namespace attribute_type {
inline constexpr std::uint32_t kStandardInformation = 0x10;
inline constexpr std::uint32_t kAttributeList = 0x20;
inline constexpr std::uint32_t kFileName = 0x30;
inline constexpr std::uint32_t kData = 0x80;
inline constexpr std::uint32_t kIndexRoot = 0x90;
inline constexpr std::uint32_t kIndexAllocation = 0xA0;
inline constexpr std::uint32_t kBitmap = 0xB0;
inline constexpr std::uint32_t kEnd = 0xFFFFFFFF;
}  // namespace attribute_type

// The name of a folder's file-name index ($INDEX_ROOT / $INDEX_ALLOCATION).
inline constexpr std::string_view kFileNameIndexName = "$I30";

struct AttributeHeader {
    static constexpr std::size_t kTypeOffset = 0x00;
    static constexpr std::size_t kLengthOffset = 0x04;
    static constexpr std::size_t kNonResidentOffset = 0x08;
    static constexpr std::size_t kNameLengthOffset = 0x09;
    static constexpr std::size_t kNameOffsetOffset = 0x0A;
    static constexpr std::size_t kFlagsOffset = 0x0C;
    static constexpr std::size_t kIdOffset = 0x0E;
    // Resident form.
    static constexpr std::size_t kValueLengthOffset = 0x10;
    static constexpr std::size_t kValueOffsetOffset = 0x14;
    static constexpr std::size_t kResidentHeaderSize = 0x18;
    // Non-resident form.
    static constexpr std::size_t kStartVcnOffset = 0x10;
    static constexpr std::size_t kLastVcnOffset = 0x18;
    static constexpr std::size_t kRunListOffsetOffset = 0x20;
    static constexpr std::size_t kCompressionUnitOffset = 0x22;
    static constexpr std::size_t kAllocatedSizeOffset = 0x28;
    static constexpr std::size_t kRealSizeOffset = 0x30;
    static constexpr std::size_t kInitializedSizeOffset = 0x38;
    static constexpr std::size_t kNonResidentHeaderSize = 0x40;

    static constexpr std::uint16_t kFlagCompressed = 0x0001;
    static constexpr std::uint16_t kFlagEncrypted = 0x4000;
    static constexpr std::uint16_t kFlagSparse = 0x8000;

    std::size_t offset = 0;  // of the attribute in the record
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    bool nonResident = false;
    std::uint8_t nameLength = 0;  // UTF-16 units
    std::uint16_t nameOffset = 0;
    std::uint16_t flags = 0;
    std::uint16_t id = 0;
    // The name as stored, UTF-16LE (nameLength units); empty for an unnamed attribute.
    // Decoded only where its text is wanted: Attribute::Name().
    ByteView name;

    // Resident form (zero when non-resident).
    std::uint32_t valueLength = 0;
    std::uint16_t valueOffset = 0;

    // Non-resident form (zero when resident).
    std::uint64_t startVcn = 0;
    std::uint64_t lastVcn = 0;
    std::uint16_t runListOffset = 0;
    std::uint16_t compressionUnit = 0;  // log2 of clusters per compression unit
    std::uint64_t allocatedSize = 0;
    std::uint64_t realSize = 0;
    std::uint64_t initializedSize = 0;

    bool isNamed() const { return nameLength != 0; }
    bool isCompressed() const { return (flags & kFlagCompressed) != 0; }
};

// One attribute: its header and its bytes (exactly `length` bytes of the record).
class Attribute {
  public:
    // Nothing when the header at `offset` is the end marker, has a length of zero or
    // below its header size, runs past the record, or (non-resident) has its run list
    // outside itself.
    static std::optional<Attribute> Parse(ByteView record, std::size_t offset);

    const AttributeHeader& header() const { return header_; }
    std::uint32_t type() const { return header_.type; }
    std::size_t offset() const { return header_.offset; }
    bool isResident() const { return !header_.nonResident; }
    bool IsUnnamed(std::uint32_t type) const { return header_.type == type && !header_.isNamed(); }
    bool Is(std::uint32_t type, std::string_view name) const {
        return header_.type == type && NameIs(name);
    }
    // True when the name is `utf8` (empty: unnamed). An ASCII name such as "$I30" is
    // compared with the stored units without decoding them.
    bool NameIs(std::string_view utf8) const;
    // The name as UTF-8; empty for an unnamed attribute.
    std::string Name() const;

    ByteView bytes() const { return bytes_; }
    // The resident value; empty when non-resident or when it does not fit the attribute.
    ByteView Value() const;
    // The run list of a non-resident attribute up to the attribute's end; empty when
    // resident or out of bounds. Offset of it in the record: RunListPosition().
    ByteView RunList() const;
    std::size_t RunListPosition() const { return header_.offset + header_.runListOffset; }

  private:
    friend class AttributeWalker;
    // Reads the attribute at `offset` into this one; false when Parse would give nothing.
    bool Read(ByteView record, std::size_t offset);

    AttributeHeader header_;
    ByteView bytes_;
};

// Walks a record's attributes from the first-attribute offset. Ends at the end marker
// (0xFFFFFFFF), at an attribute that does not parse (zero length, past the record) and
// after `limit` attributes, so it always ends.
class AttributeWalker {
  public:
    enum class End { kNotYet, kEndMarker, kMalformed, kLimit };

    static constexpr std::size_t kNoLimit = SIZE_MAX;

    // From the header's first-attribute offset (0x14).
    explicit AttributeWalker(ByteView record, std::size_t limit = kNoLimit);
    AttributeWalker(ByteView record, std::size_t firstOffset, std::size_t limit);

    std::optional<Attribute> Next();
    End end() const { return end_; }
    std::size_t count() const { return count_; }

  private:
    ByteView record_;
    std::size_t offset_;
    std::size_t limit_;
    std::size_t count_ = 0;
    End end_ = End::kNotYet;
};

// The first attribute of a type (and name; empty = unnamed) in the record, or nothing.
std::optional<Attribute> FindAttribute(ByteView record, std::uint32_t type,
                                       std::string_view name = {});
// The attribute with the given type and attribute id (as an attribute list names it).
std::optional<Attribute> FindAttributeById(ByteView record, std::uint32_t type, std::uint16_t id);

}  // namespace tarvik
