#include "ntfs/index_entry.h"

namespace tarvik {

std::optional<IndexEntry> IndexEntryWalker::Next() {
    if (done_) return std::nullopt;
    const auto length = area_.u16(offset_ + IndexEntry::kLengthOffset);
    const auto flags = area_.u16(offset_ + IndexEntry::kFlagsOffset);
    if (!length || !flags || *length < IndexEntry::kHeaderSize || !area_.has(offset_, *length)) {
        done_ = true;
        return std::nullopt;
    }
    if ((*flags & IndexEntry::kFlagLast) != 0) {
        done_ = true;
        reachedLast_ = true;
        return std::nullopt;
    }
    const ByteView bytes = area_.sub(offset_, *length);
    IndexEntry entry;
    entry.offset = offset_;
    entry.fileReference = *bytes.u64(IndexEntry::kFileReferenceOffset);
    entry.length = *length;
    entry.keyLength = *bytes.u16(IndexEntry::kKeyLengthOffset);
    entry.flags = *flags;
    const std::size_t keyRoom = bytes.size() - IndexEntry::kKeyOffset;
    if (entry.keyLength <= keyRoom) {
        entry.fileName = FileName::Parse(bytes.sub(IndexEntry::kKeyOffset, entry.keyLength));
    }
    offset_ += *length;
    return entry;
}

std::size_t ForEachAcceptedEntry(ByteView area, const IndexEntryVisitor& visit) {
    std::size_t visited = 0;
    IndexEntryWalker walker(area);
    while (auto entry = walker.Next()) {
        if (!entry->isAccepted()) continue;
        visit(*entry);
        ++visited;
    }
    return visited;
}

}  // namespace tarvik
