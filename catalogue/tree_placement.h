#pragma once
// Where each catalogue entry sits in the folder tree, worked out without any window, for
// listings and for checks of the tree the desktop program builds.
//
// Folders are placed as the tree view places them: from the root (number 5), each
// folder of the FolderTable whose parent number equals the current folder's own number
// is placed under it, in table order, and at once its own sub-folders (depth first).
//
// A number is opened at most once, at the first folder placed with that number: that
// folder receives every folder and file whose parent number it is. A later folder with
// the same number (a made-up folder sharing a real record's number, a record catalogued
// twice, or a folder that is its own ancestor by number) is listed but stays empty. This
// bounds the walk on looping numbers and places every entry at most once. The walk is
// iterative and uses the parent indexes, so it is linear in the number of entries. Each
// entry keeps its catalogue position and its folder's position, not its name nor its
// whole path: along a chain of n nested folders whole paths would add up to n^2 / 2
// names, and the names are in the catalogue already.
//
// Order of the result, deterministic:
//   - within a folder: each sub-folder in FolderTable order, each directly followed by
//     its whole subtree; then the folder's files in catalogue order;
//   - the root is not an entry and has no line; its contents come first;
//   - last, every entry no placed folder holds (unreachable folders, their files, files
//     of parents never placed, folders missing from the FolderTable), in catalogue
//     order, each as "?/NAME" at depth 1.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_table.h"

namespace tarvik {

inline constexpr std::string_view kListingRootName = "Root";
inline constexpr std::string_view kListingUnplacedName = "?";

inline constexpr std::uint32_t kNoFolder = 0xFFFFFFFF;

// Positions fit in 32 bits: a catalogue holds fewer entries (Catalogue::kMaxCapacity).
struct PlacedEntry {
    std::uint32_t catalogueIndex = 0;
    // 1 for the root's own contents and for unplaced entries, + 1 per folder level.
    std::uint32_t depth = 0;
    // The placement position of the folder holding the entry; kNoFolder for the root's
    // own contents and for unplaced entries.
    std::uint32_t folder = kNoFolder;
    bool unplaced = false;

    friend bool operator==(const PlacedEntry&, const PlacedEntry&) = default;
};

// Every entry of the catalogue exactly once, in the order described above.
std::vector<PlacedEntry> PlaceEntries(const Catalogue& catalogue, const FolderTable& folders);

// The tree path of the entry at `position`, each name as EscapeListingName gives it, so
// '/' only ever separates names: "Root/Lost Folder 0000/Folder 0001/a.txt", or "?/a.txt"
// for an unplaced one. `catalogue` is the one the placement was made from.
std::string PlacedPath(const Catalogue& catalogue, std::span<const PlacedEntry> placed,
                       std::size_t position);

// Paths longer than this are shown shortened: a chain of folders thousands deep would
// otherwise make each line of a listing (and each message) as long as the whole chain.
inline constexpr std::size_t kMaxShownPathBytes = 4096;

// The name that stands in a shortened path for the `count` folders left out of it:
// "\[12345 folders]". No escaped name begins with a backslash followed by '[', so it
// cannot be taken for a folder's own name.
std::string ShortenedFoldersName(std::size_t count);

// As PlacedPath, but no longer than about kMaxShownPathBytes: when longer, the folders
// nearest the root give way to one ShortenedFoldersName. `shortened` tells whether they did.
std::string ShownPlacedPath(const Catalogue& catalogue, std::span<const PlacedEntry> placed,
                            std::size_t position, bool& shortened);

// A name made safe for one line of a '/'-separated listing: a backslash becomes "\\";
// '/', control bytes (below 0x20) and DEL become "\xHH" with two upper-case hex digits.
// Every other byte, UTF-8 included, is kept. Names Windows can write contain none of
// the escaped bytes, so they appear unchanged.
std::string EscapeListingName(std::string_view name);

}  // namespace tarvik
