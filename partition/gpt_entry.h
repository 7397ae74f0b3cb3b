#pragma once
// Reader of one GUID partition table entry: type GUID, unique GUID, first and last LBA
// (inclusive), attributes, and a name of 36 UTF-16LE units.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/byte_view.h"

namespace tarvik {

// A GUID as the disk stores it (the first three groups little-endian), compared byte
// for byte.
using GptGuid = std::array<std::uint8_t, 16>;

// The partition types the drive list names.
inline constexpr GptGuid kGptBasicData = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                          0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
inline constexpr GptGuid kGptWindowsRecovery = {0xA4, 0xBB, 0x94, 0xDE, 0xD1, 0x06, 0x40, 0x4D,
                                                0xA1, 0x6A, 0xBF, 0xD5, 0x01, 0x79, 0xD6, 0xAC};
inline constexpr GptGuid kGptEfiSystem = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                          0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
inline constexpr GptGuid kGptMicrosoftReserved = {0x16, 0xE3, 0xC9, 0xE3, 0x5C, 0x0B, 0xB8, 0x4D,
                                                  0x81, 0x7D, 0xF9, 0x2D, 0xF0, 0x02, 0x15, 0xAE};
inline constexpr GptGuid kGptLinuxData = {0xAF, 0x3D, 0xC6, 0x0F, 0x83, 0x84, 0x72, 0x47,
                                          0x8E, 0x79, 0x3D, 0x69, 0xD8, 0x47, 0x7D, 0xE4};
inline constexpr GptGuid kGptLinuxSwap = {0x6D, 0xFD, 0x57, 0x06, 0xAB, 0xA4, 0xC4, 0x43,
                                          0x84, 0xE5, 0x09, 0x33, 0xC8, 0x4B, 0x4F, 0x4F};

struct GptEntry {
    static constexpr std::size_t kTypeGuidOffset = 0x00;
    static constexpr std::size_t kFirstLbaOffset = 0x20;
    static constexpr std::size_t kLastLbaOffset = 0x28;
    static constexpr std::size_t kAttributesOffset = 0x30;
    static constexpr std::size_t kNameOffset = 0x38;
    static constexpr std::size_t kNameBytes = 72;
    static constexpr std::size_t kSize = 128;

    // Nothing for an unused entry (type GUID all zeros), one shorter than 128 bytes, or
    // one that ends before it begins.
    static std::optional<GptEntry> Parse(ByteView entry);

    GptGuid type{};
    std::uint64_t firstLba = 0;
    std::uint64_t lastLba = 0;  // inclusive
    std::uint64_t attributes = 0;
    std::string name;  // UTF-8, up to the first NUL unit
};

}  // namespace tarvik
