#include "ntfs/attribute.h"

#include "common/utf16.h"
#include "ntfs/file_record.h"

namespace tarvik {
namespace {

using H = AttributeHeader;
// Type and length: what must be readable for an attribute to be examined at all.
constexpr std::size_t kMinimumHeader = 0x10;

void ReadResident(ByteView attr, AttributeHeader& h) {
    h.valueLength = attr.u32(H::kValueLengthOffset).value_or(0);
    h.valueOffset = attr.u16(H::kValueOffsetOffset).value_or(0);
}

void ReadNonResident(ByteView attr, AttributeHeader& h) {
    h.startVcn = attr.u64(H::kStartVcnOffset).value_or(0);
    h.lastVcn = attr.u64(H::kLastVcnOffset).value_or(0);
    h.runListOffset = attr.u16(H::kRunListOffsetOffset).value_or(0);
    h.compressionUnit = attr.u16(H::kCompressionUnitOffset).value_or(0);
    h.allocatedSize = attr.u64(H::kAllocatedSizeOffset).value_or(0);
    h.realSize = attr.u64(H::kRealSizeOffset).value_or(0);
    h.initializedSize = attr.u64(H::kInitializedSizeOffset).value_or(0);
}

}  // namespace

std::optional<Attribute> Attribute::Parse(ByteView record, std::size_t offset) {
    // Built where it is returned, and engaged from the start (an empty optional of it is
    // zeroed whole first): a walk over a large MFT parses millions of attributes, and a
    // copy of each would cost about as much as reading it.
    std::optional<Attribute> result(std::in_place);
    if (!result->Read(record, offset)) result.reset();
    return result;
}

bool Attribute::Read(ByteView record, std::size_t offset) {
    const auto type = record.u32(offset + H::kTypeOffset);
    const auto length = record.u32(offset + H::kLengthOffset);
    if (!type || !length || *type == attribute_type::kEnd) return false;
    if (*length < kMinimumHeader || !record.has(offset, *length)) return false;

    bytes_ = record.sub(offset, *length);
    AttributeHeader& h = header_;
    h.offset = offset;
    h.type = *type;
    h.length = *length;
    h.nonResident = bytes_.u8(H::kNonResidentOffset).value_or(0) != 0;
    h.nameLength = bytes_.u8(H::kNameLengthOffset).value_or(0);
    h.nameOffset = bytes_.u16(H::kNameOffsetOffset).value_or(0);
    h.flags = bytes_.u16(H::kFlagsOffset).value_or(0);
    h.id = bytes_.u16(H::kIdOffset).value_or(0);
    const std::size_t minimum = h.nonResident ? H::kNonResidentHeaderSize : H::kResidentHeaderSize;
    if (h.length < minimum) return false;
    if (h.nameLength != 0) {
        h.name = bytes_.sub(h.nameOffset, std::size_t{h.nameLength} * 2);
        if (h.name.size() == 0) return false;
    }
    if (!h.nonResident) {
        ReadResident(bytes_, h);
        return true;
    }
    ReadNonResident(bytes_, h);
    // The run list must start inside the attribute, past the fixed header.
    return h.runListOffset >= H::kNonResidentHeaderSize && h.runListOffset <= h.length;
}

bool Attribute::NameIs(std::string_view utf8) const {
    return Utf16LeEqualsUtf8(header_.name.span(), utf8);
}

std::string Attribute::Name() const {
    return DecodeName(header_.name.span());
}

ByteView Attribute::Value() const {
    if (header_.nonResident) return {};
    return bytes_.sub(header_.valueOffset, header_.valueLength);
}

ByteView Attribute::RunList() const {
    if (!header_.nonResident || header_.runListOffset > bytes_.size()) return {};
    return bytes_.sub(header_.runListOffset, bytes_.size() - header_.runListOffset);
}

AttributeWalker::AttributeWalker(ByteView record, std::size_t limit)
    : AttributeWalker(record, record.u16(FileRecordHeader::kFirstAttributeOffset).value_or(0),
                      limit) {}

AttributeWalker::AttributeWalker(ByteView record, std::size_t firstOffset, std::size_t limit)
    : record_(record), offset_(firstOffset), limit_(limit) {}

std::optional<Attribute> AttributeWalker::Next() {
    // One object from start to return, as in Attribute::Parse.
    std::optional<Attribute> attribute(std::in_place);
    if (end_ == End::kNotYet && count_ >= limit_) end_ = End::kLimit;
    if (end_ == End::kNotYet && record_.u32(offset_) == attribute_type::kEnd) {
        end_ = End::kEndMarker;
    }
    if (end_ == End::kNotYet && !attribute->Read(record_, offset_)) end_ = End::kMalformed;
    if (end_ != End::kNotYet) {
        attribute.reset();
        return attribute;
    }
    offset_ += attribute->header().length;  // length > 0 and inside the record
    ++count_;
    return attribute;
}

std::optional<Attribute> FindAttribute(ByteView record, std::uint32_t type, std::string_view name) {
    AttributeWalker walker(record);
    while (auto attribute = walker.Next()) {
        if (attribute->Is(type, name)) return attribute;
    }
    return std::nullopt;
}

std::optional<Attribute> FindAttributeById(ByteView record, std::uint32_t type, std::uint16_t id) {
    AttributeWalker walker(record);
    while (auto attribute = walker.Next()) {
        if (attribute->type() == type && attribute->header().id == id) return attribute;
    }
    return std::nullopt;
}

}  // namespace tarvik
