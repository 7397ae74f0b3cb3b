#pragma once
// One found file or folder, as the scan catalogues it and the views, Find and the
// recovery writer read it. The record is a fixed 305-byte packed layout so that a
// catalogue is one contiguous array that can be handed around by pointer and count.
//
// Fields are unaligned: read and write them by plain member access on the record (the
// compiler then emits unaligned loads and stores). Never bind a reference or take a
// pointer to a field other than `name`; copy the value out instead. That includes
// passing a field to a function taking `const T&` (std::max, EXPECT_EQ): pass a copy,
// for example `+entry.parent`, or the sanitizer reports a misaligned reference.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvik {

inline constexpr std::uint8_t kAttributeDirectory = 0x10;
inline constexpr std::uint8_t kAttributeFile = 0x20;

// The root folder's record number: the parent number of the root's own children.
inline constexpr std::uint32_t kRootFolderNumber = 5;

// Check states stored in an entry.
inline constexpr std::int32_t kCheckNeverSet = 0;  // as catalogued; shown unchecked
inline constexpr std::int32_t kCheckChecked = 1;
inline constexpr std::int32_t kCheckPartly = 2;
inline constexpr std::int32_t kCheckUnchecked = 3;

// How a file was found by its content in free clusters (the `carved` field): whole, or
// cut where its structure broke. 0: found through the file system.
inline constexpr std::uint32_t kCarvedWhole = 1;
inline constexpr std::uint32_t kCarvedPartial = 2;

inline constexpr std::size_t kEntryNameBytes = 256;  // including the NUL
inline constexpr std::size_t kEntryNameMaxBytes = kEntryNameBytes - 1;

#pragma pack(push, 1)
struct CatalogueEntry {
    char name[kEntryNameBytes] = {};  // UTF-8, NUL-terminated
    std::uint8_t attribute = 0;       // kAttributeDirectory or kAttributeFile
    std::uint64_t creationTime = 0;   // FILETIME: 100 ns units since 1601-01-01 UTC; 0 unknown
    std::uint64_t size = 0;           // real size of the data in bytes; 0 for a directory
    std::uint32_t parent = 0;         // parent folder's number; kRootFolderNumber is the root
    std::uint32_t number = 0;         // own number (record number, or a made-up one)
    std::uint32_t deleted = 0;        // 1 deleted, 0 in use
    std::uint32_t madeUp = 0;         // 1 for a folder made for lost entries
    std::uint32_t madeUpSecond = 0;   // set together with madeUp
    std::uint32_t carved = 0;         // kCarvedWhole or kCarvedPartial; also on their folders
    std::uint32_t compressed = 0;     // 1 when the file is marked compressed
    std::int32_t checkState = kCheckNeverSet;

    // Stores the name, cut to at most 255 bytes without splitting a UTF-8 character.
    // A NUL inside the text ends the name there, as it would on reading it back.
    void SetName(std::string_view utf8);
    // The stored name up to its NUL (never past the field).
    std::string_view Name() const;

    bool IsDirectory() const { return (attribute & kAttributeDirectory) != 0; }
    bool IsMadeUp() const { return madeUp != 0; }
    bool IsDeleted() const { return deleted != 0; }
    bool IsCarved() const { return carved != 0; }
};
#pragma pack(pop)

static_assert(sizeof(CatalogueEntry) == 305);
static_assert(alignof(CatalogueEntry) == 1);
static_assert(offsetof(CatalogueEntry, name) == 0);
static_assert(offsetof(CatalogueEntry, attribute) == 256);
static_assert(offsetof(CatalogueEntry, creationTime) == 257);
static_assert(offsetof(CatalogueEntry, size) == 265);
static_assert(offsetof(CatalogueEntry, parent) == 273);
static_assert(offsetof(CatalogueEntry, number) == 277);
static_assert(offsetof(CatalogueEntry, deleted) == 281);
static_assert(offsetof(CatalogueEntry, madeUp) == 285);
static_assert(offsetof(CatalogueEntry, madeUpSecond) == 289);
static_assert(offsetof(CatalogueEntry, carved) == 293);
static_assert(offsetof(CatalogueEntry, compressed) == 297);
static_assert(offsetof(CatalogueEntry, checkState) == 301);

}  // namespace tarvik
