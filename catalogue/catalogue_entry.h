#pragma once
// One found file or folder, as the scan builds it and the views, Find and the recovery
// writer read it. The scan fills a value and appends it; the catalogue keeps it packed
// (catalogue/catalogue.h) and hands back values whose name points into its name store,
// so reading an entry copies a few numbers and never the name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

inline constexpr std::uint8_t kAttributeDirectory = 0x10;
inline constexpr std::uint8_t kAttributeFile = 0x20;

// The root folder's record number: the parent number of the root's own children.
inline constexpr std::uint32_t kRootFolderNumber = 5;

// The longest name an entry keeps, in UTF-8 bytes. An NTFS name of 255 UTF-16 units
// takes at most 765 bytes, so every name a volume can hold is kept whole.
inline constexpr std::size_t kEntryNameMaxBytes = 1023;

// How a file was found by its content in free clusters (the `carved` field): whole, or
// cut where its structure broke. 0: found through the file system.
inline constexpr std::uint32_t kCarvedWhole = 1;
inline constexpr std::uint32_t kCarvedPartial = 2;

struct CatalogueEntry {
    std::uint8_t attribute = 0;          // kAttributeDirectory or kAttributeFile
    std::uint64_t creationTime = 0;      // FILETIME: 100 ns units since 1601-01-01 UTC; 0 unknown
    std::uint64_t modificationTime = 0;  // FILETIME, as creationTime
    std::uint64_t size = 0;              // real size of the data in bytes; 0 for a directory
    std::uint32_t parent = 0;            // parent folder's number; kRootFolderNumber is the root
    std::uint32_t number = 0;            // own number (record number, or a made-up one)
    std::uint32_t deleted = 0;           // 1 deleted, 0 in use
    std::uint32_t madeUp = 0;            // 1 for a folder made for lost entries
    std::uint32_t madeUpSecond = 0;      // set together with madeUp
    std::uint32_t compressed = 0;        // 1 when the file is marked compressed
    std::uint32_t carved = 0;            // kCarvedWhole or kCarvedPartial; also on their folders

    // Stores the name, cut to at most kEntryNameMaxBytes without splitting a UTF-8
    // character. A NUL inside the text ends the name there.
    void SetName(std::string_view utf8);
    // The name. For an entry read from a catalogue it lies in the catalogue's name
    // store and stays valid until the catalogue is cleared or destroyed.
    std::string_view Name() const { return stored_ ? storedName_ : std::string_view(ownName_); }

    bool IsDirectory() const { return (attribute & kAttributeDirectory) != 0; }
    bool IsMadeUp() const { return madeUp != 0; }
    bool IsDeleted() const { return deleted != 0; }
    bool IsCarved() const { return carved != 0; }

  private:
    friend class Catalogue;
    std::string ownName_;
    std::string_view storedName_;
    bool stored_ = false;
};

// A folder the scan makes up to hold entries no real folder holds (lost entries,
// carved files): it has no record of its own on the drive.
CatalogueEntry MadeUpFolderEntry(std::string_view name, std::uint32_t number, std::uint32_t parent);

}  // namespace tarvik
