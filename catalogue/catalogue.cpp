#include "catalogue/catalogue.h"

#include <algorithm>

namespace tarvik {

namespace {

constexpr std::uint64_t kDeletedFlag = 1;
constexpr std::uint64_t kMadeUpFlag = 2;
constexpr std::uint64_t kMadeUpSecondFlag = 4;
constexpr std::uint64_t kCompressedFlag = 8;
// Two bits for how a carved entry was found (whole or cut), 0 for every other entry.
constexpr int kCarvedFlagShift = kRecordCarvedFlagShift;
constexpr std::uint64_t kCarvedMask = 3;
constexpr int kLengthShift = kRecordLengthShift;
constexpr int kFlagShift = kRecordFlagShift;
constexpr int kAttributeShift = kRecordAttributeShift;

std::uint64_t FlagsOf(const CatalogueEntry& entry) {
    return (entry.deleted != 0 ? kDeletedFlag : 0) | (entry.madeUp != 0 ? kMadeUpFlag : 0) |
           (entry.madeUpSecond != 0 ? kMadeUpSecondFlag : 0) |
           (entry.compressed != 0 ? kCompressedFlag : 0) |
           (std::min<std::uint64_t>(entry.carved, kCarvedMask) << kCarvedFlagShift);
}

}  // namespace

Catalogue::Catalogue(std::size_t capacity) : capacity_(std::min(capacity, kMaxCapacity)) {}

Catalogue Catalogue::Reading(KeptRecords kept) {
    Catalogue catalogue;
    if (kept.records.empty()) return catalogue;
    catalogue.kept_ = kept.records;
    catalogue.keeper_ = kept.keeper;
    catalogue.names_.Borrow(std::move(kept.keeper), kept.names);
    catalogue.byNumber_.ReadKept(kept.byNumber.positions, kept.byNumber.numbers);
    catalogue.byParent_.ReadKept(kept.byParent.positions, kept.byParent.numbers);
    return catalogue;
}

KeptIndexParts Catalogue::IndexParts(IndexKey key) const {
    return key == IndexKey::kNumber ? byNumber_.Parts() : byParent_.Parts();
}

void Catalogue::OwnRecords() {
    entries_.reserve(kept_.size() + 1);
    entries_.assign(kept_.begin(), kept_.end());
    kept_ = {};
}

bool Catalogue::Append(const CatalogueEntry& entry, std::string_view name) {
    std::uint64_t reference = 0;
    // A name store out of room (a terabyte of names) refuses as a full catalogue does.
    if (Full() || !names_.Add(name, reference)) {
        ++refused_;
        return false;
    }
    if (!kept_.empty()) OwnRecords();
    const auto position = static_cast<std::uint32_t>(entries_.size());
    const std::uint64_t word = reference | (std::uint64_t{name.size()} << kLengthShift) |
                               (FlagsOf(entry) << kFlagShift) |
                               (std::uint64_t{entry.attribute} << kAttributeShift);
    entries_.push_back(
        {entry.creationTime, entry.modificationTime, entry.size, entry.parent, entry.number, word});
    byNumber_.Add(entry.number, position);
    byParent_.Add(entry.parent, position);
    return true;
}

CatalogueEntry Catalogue::At(std::size_t index) const {
    const CatalogueRecord& stored = RecordAt(index);
    const std::uint64_t flags = stored.word >> kFlagShift;
    CatalogueEntry entry;
    entry.attribute = static_cast<std::uint8_t>(stored.word >> kAttributeShift);
    entry.creationTime = stored.creationTime;
    entry.modificationTime = stored.modificationTime;
    entry.size = stored.size;
    entry.parent = stored.parent;
    entry.number = stored.number;
    entry.deleted = (flags & kDeletedFlag) != 0 ? 1 : 0;
    entry.madeUp = (flags & kMadeUpFlag) != 0 ? 1 : 0;
    entry.madeUpSecond = (flags & kMadeUpSecondFlag) != 0 ? 1 : 0;
    entry.compressed = (flags & kCompressedFlag) != 0 ? 1 : 0;
    entry.carved = static_cast<std::uint32_t>((flags >> kCarvedFlagShift) & kCarvedMask);
    entry.storedName_ = NameAt(index);
    entry.stored_ = true;
    return entry;
}

bool Catalogue::IsMadeUpAt(std::size_t index) const {
    return ((RecordAt(index).word >> kFlagShift) & kMadeUpFlag) != 0;
}

bool Catalogue::IsDeletedAt(std::size_t index) const {
    return ((RecordAt(index).word >> kFlagShift) & kDeletedFlag) != 0;
}

bool Catalogue::IsCarvedAt(std::size_t index) const {
    return ((RecordAt(index).word >> kFlagShift >> kCarvedFlagShift) & kCarvedMask) != 0;
}

bool Catalogue::IsDirectoryAt(std::size_t index) const {
    const auto attribute = static_cast<std::uint8_t>(RecordAt(index).word >> kAttributeShift);
    return (attribute & kAttributeDirectory) != 0;
}

void Catalogue::SetCapacity(std::size_t capacity) {
    capacity_ = std::clamp(capacity, Count(), kMaxCapacity);
}

void Catalogue::Reserve(std::size_t entries) {
    const std::size_t room = std::min(entries, capacity_);
    entries_.reserve(room);
    byNumber_.Reserve(room);
    byParent_.Reserve(room);
}

void Catalogue::ReserveNumbers(std::uint32_t end) {
    byNumber_.ReserveNumbers(end);
    byParent_.ReserveNumbers(end);
}

std::optional<std::size_t> Catalogue::FirstWithNumber(std::uint32_t number) const {
    const IndexRange found = byNumber_.Find(number);
    if (found.empty()) return std::nullopt;
    return found.front();
}

std::size_t Catalogue::MemoryBytes() const {
    return entries_.capacity() * sizeof(CatalogueRecord) + names_.BlockBytes() +
           byNumber_.MemoryBytes() + byParent_.MemoryBytes();
}

void Catalogue::Clear() {
    entries_.clear();
    kept_ = {};
    keeper_.reset();
    names_.Clear();
    byNumber_.Clear();
    byParent_.Clear();
    refused_ = 0;
}

}  // namespace tarvik
