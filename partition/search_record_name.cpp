#include "partition/search_record_name.h"

namespace tarvik {

namespace {

constexpr std::size_t kRecordSize = 1024;
constexpr std::size_t kFirstAttributeField = 0x14;
constexpr std::size_t kAttributeLengthField = 4;
constexpr std::size_t kNameLengthField = 0x58;
constexpr std::size_t kNamespaceField = 0x59;
constexpr std::size_t kNameField = 0x5A;
constexpr std::uint8_t kFileNameType = 0x30;
constexpr std::uint8_t kWin32Namespace = 1;
constexpr int kAttributesExamined = 9;

}  // namespace

std::optional<std::string> SearchRecordName(ByteView record) {
    if (!record.has(0, kRecordSize)) return std::nullopt;
    std::size_t offset = *record.u16(kFirstAttributeField);
    int examined = 0;
    while (true) {
        if (offset >= kRecordSize || examined == kAttributesExamined) return std::nullopt;
        const std::uint8_t type = *record.u8(offset);
        if (type == kFileNameType) break;
        if (type == 0xFF) return std::nullopt;
        const auto length = record.u16(offset + kAttributeLengthField);
        if (!length || *length == 0) return std::nullopt;
        offset += *length;
        ++examined;
    }
    // A Win32-only name is followed by its DOS twin, which the search takes.
    if (record.u8(offset + kNamespaceField) == kWin32Namespace) {
        const auto length = record.u16(offset + kAttributeLengthField);
        if (!length) return std::nullopt;
        offset += *length;
        if (offset >= kRecordSize) return std::nullopt;
    }
    const auto nameLength = record.u8(offset + kNameLengthField);
    if (!nameLength) return std::nullopt;
    std::string name;
    for (std::size_t i = 0; i < *nameLength; ++i) {
        const auto unit = record.u8(offset + kNameField + 2 * i);
        if (!unit) break;
        name.push_back(static_cast<char>(*unit));
    }
    return name;
}

}  // namespace tarvik
