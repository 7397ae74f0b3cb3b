#pragma once
// Entries of a folder's file-name index ($I30), in an index root or an INDX block.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "common/byte_view.h"
#include "ntfs/file_name.h"

namespace tarvik {

struct IndexEntry {
    static constexpr std::size_t kFileReferenceOffset = 0x00;
    static constexpr std::size_t kLengthOffset = 0x08;
    static constexpr std::size_t kKeyLengthOffset = 0x0A;
    static constexpr std::size_t kFlagsOffset = 0x0C;
    static constexpr std::size_t kKeyOffset = 0x10;
    static constexpr std::size_t kHeaderSize = 0x10;

    static constexpr std::uint16_t kFlagHasSubNode = 0x01;
    static constexpr std::uint16_t kFlagLast = 0x02;

    std::size_t offset = 0;  // in the area the walker was given
    std::uint64_t fileReference = 0;
    std::uint16_t length = 0;
    std::uint16_t keyLength = 0;
    std::uint16_t flags = 0;
    std::optional<FileName> fileName;  // the key, when it parses

    // Low 32 bits of the reference: the record number the catalogue keeps.
    std::uint32_t recordNumber() const { return static_cast<std::uint32_t>(fileReference); }
    bool hasSubNode() const { return (flags & kFlagHasSubNode) != 0; }
    bool isLast() const { return (flags & kFlagLast) != 0; }
    // Catalogued: a file name in any namespace but DOS-only (the short twin of a long
    // name that has its own entry).
    bool isAccepted() const { return fileName && !fileName->isDosOnly(); }
    bool isDirectory() const { return fileName && fileName->isDirectory(); }
};

// Walks the entries of one index node. Yields every entry before the one flagged last
// (that one closes the node and has no key); ends there, at a length of zero, below the
// header size or running past the area, and at the end of the area. Entries are yielded
// whatever their reference: the MFT's own entry ($MFT, record 0) comes out as record 0.
class IndexEntryWalker {
  public:
    explicit IndexEntryWalker(ByteView area) : area_(area) {}
    std::optional<IndexEntry> Next();
    // True when the walk ended at the entry flagged last (the node is whole).
    bool reachedLast() const { return reachedLast_; }

  private:
    ByteView area_;
    std::size_t offset_ = 0;
    bool done_ = false;
    bool reachedLast_ = false;
};

using IndexEntryVisitor = std::function<void(const IndexEntry&)>;

// Calls the visitor for every accepted entry of the area; returns how many it called.
std::size_t ForEachAcceptedEntry(ByteView area, const IndexEntryVisitor& visit);

}  // namespace tarvik
