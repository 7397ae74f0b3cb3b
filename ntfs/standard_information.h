#pragma once
// The value of a $STANDARD_INFORMATION attribute.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/byte_view.h"

namespace tarvik {

// File attribute bits (Windows FILE_ATTRIBUTE_*), as $STANDARD_INFORMATION and
// $FILE_NAME store them.
inline constexpr std::uint32_t kFileAttributeCompressed = 0x0800;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x0400;

struct StandardInformation {
    static constexpr std::size_t kCreationTimeOffset = 0x00;
    static constexpr std::size_t kModificationTimeOffset = 0x08;
    static constexpr std::size_t kRecordChangeTimeOffset = 0x10;
    static constexpr std::size_t kAccessTimeOffset = 0x18;
    static constexpr std::size_t kFileAttributesOffset = 0x20;
    static constexpr std::size_t kMinimumSize = 0x24;

    std::uint64_t creationTime = 0;  // FILETIME: 100 ns since 1601-01-01 UTC
    std::uint64_t modificationTime = 0;
    std::uint64_t recordChangeTime = 0;
    std::uint64_t accessTime = 0;
    std::uint32_t fileAttributes = 0;

    bool compressed() const { return (fileAttributes & kFileAttributeCompressed) != 0; }

    // Nothing when the value is shorter than its fields.
    static std::optional<StandardInformation> Parse(ByteView value);
};

}  // namespace tarvik
