#pragma once
// The value of a $FILE_NAME attribute, also the key of every folder index entry.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/byte_view.h"

namespace tarvik {

// Name spaces of a $FILE_NAME.
inline constexpr std::uint8_t kNamespacePosix = 0;
inline constexpr std::uint8_t kNamespaceWin32 = 1;
inline constexpr std::uint8_t kNamespaceDos = 2;  // the 8.3 short name of a long one
inline constexpr std::uint8_t kNamespaceWin32AndDos = 3;

// The directory bit of a file name's flags (the file attributes copy).
inline constexpr std::uint32_t kFileNameFlagDirectory = 0x10000000;

struct FileName {
    static constexpr std::size_t kParentReferenceOffset = 0x00;
    static constexpr std::size_t kCreationTimeOffset = 0x08;
    static constexpr std::size_t kModificationTimeOffset = 0x10;
    static constexpr std::size_t kRecordChangeTimeOffset = 0x18;
    static constexpr std::size_t kAccessTimeOffset = 0x20;
    static constexpr std::size_t kAllocatedSizeOffset = 0x28;
    static constexpr std::size_t kRealSizeOffset = 0x30;
    static constexpr std::size_t kFlagsOffset = 0x38;
    static constexpr std::size_t kReparseTagOffset = 0x3C;  // or extended-attribute size
    static constexpr std::size_t kNameLengthOffset = 0x40;
    static constexpr std::size_t kNamespaceOffset = 0x41;
    static constexpr std::size_t kNameOffset = 0x42;

    std::uint64_t parentReference = 0;
    std::uint64_t creationTime = 0;  // FILETIME
    std::uint64_t modificationTime = 0;
    std::uint64_t recordChangeTime = 0;
    std::uint64_t accessTime = 0;
    std::uint64_t allocatedSize = 0;
    std::uint64_t realSize = 0;
    std::uint32_t flags = 0;
    std::uint32_t reparseTag = 0;  // never part of the flags
    std::uint8_t nameLength = 0;   // UTF-16 units
    std::uint8_t nameSpace = 0;
    std::string name;  // UTF-8, whole

    std::uint32_t parentRecord() const { return static_cast<std::uint32_t>(parentReference); }
    // Only the directory bit counts: the field after the flags is a reparse tag.
    bool isDirectory() const { return (flags & kFileNameFlagDirectory) != 0; }
    bool isDosOnly() const { return nameSpace == kNamespaceDos; }

    // Nothing when the value is shorter than its fixed fields or its name.
    static std::optional<FileName> Parse(ByteView value);
};

}  // namespace tarvik
