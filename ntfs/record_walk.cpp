#include "ntfs/record_walk.h"

#include <algorithm>
#include <limits>

#include "ntfs/index_entry.h"
#include "ntfs/index_root.h"
#include "ntfs/standard_information.h"

namespace tarvik {
namespace {

namespace at = attribute_type;

constexpr std::size_t kLargestOffset = std::numeric_limits<std::uint16_t>::max();

std::uint16_t Offset16(std::size_t offset) {
    return static_cast<std::uint16_t>(offset);
}

// Offsets are kept in 16 bits; a record never needs more.
ByteView Clip(ByteView record) {
    return record.sub(0, std::min(record.size(), kLargestOffset));
}

std::uint8_t KindFromFlags(ByteView record) {
    const auto flags = record.u16(FileRecordHeader::kFlagsOffset).value_or(0);
    if (flags == 3) return kLocatorDirectory;
    if (flags == 1) return kLocatorFile;
    return kLocatorNeither;
}

bool IsI30(const Attribute& a, std::uint32_t type) {
    return a.Is(type, kFileNameIndexName);
}

// The $I30 $INDEX_ALLOCATION after an index root, wherever it lies in the record.
std::optional<Attribute> FindAllocationAfter(ByteView record, const Attribute& root) {
    AttributeWalker rest(record, root.offset() + root.header().length, AttributeWalker::kNoLimit);
    while (auto a = rest.Next()) {
        if (IsI30(*a, at::kIndexAllocation) && !a->isResident()) return a;
    }
    return std::nullopt;
}

void LocateData(const Attribute& data, RecordWalk& walk) {
    walk.dataOffset = Offset16(data.offset());
    walk.locator.kind = kLocatorFile;
    if (data.isResident()) {
        walk.locator.position = Offset16(data.offset());
        walk.locator.resident = 1;
    } else {
        walk.locator.position = Offset16(data.RunListPosition());
    }
}

void LocateAllocation(const Attribute& allocation, RecordWalk& walk) {
    walk.indexAllocationOffset = Offset16(allocation.offset());
    walk.locator.kind = kLocatorDirectory;
    walk.locator.position = Offset16(allocation.RunListPosition());
}

// Offset in the record of the root's first entry, when it is a real one (not the
// closing entry).
std::uint16_t FirstRootEntry(const Attribute& root, const IndexRoot& index) {
    const ByteView entries = index.Entries(root.Value());
    const auto flags = entries.u16(IndexEntry::kFlagsOffset);
    if (!flags || (*flags & IndexEntry::kFlagLast) != 0) return 0;
    return Offset16(root.offset() + root.header().valueOffset + index.EntriesStart());
}

bool LocateIndex(ByteView record, const Attribute& root, RecordWalk& walk) {
    walk.indexRootOffset = Offset16(root.offset());
    const auto index = IndexRoot::Parse(root.Value());
    if (!index) return false;
    walk.locator.kind = kLocatorDirectory;
    if (const auto allocation = FindAllocationAfter(record, root)) {
        LocateAllocation(*allocation, walk);
        walk.locator.firstRootEntry = FirstRootEntry(root, *index);
    } else if (index->node.hasChildren()) {
        // The blocks are listed in an extension record: the caller follows the list.
        walk.locator.firstRootEntry = FirstRootEntry(root, *index);
    } else {
        walk.locator.position =
            Offset16(root.offset() + root.header().valueOffset + index->EntriesStart());
        walk.locator.resident = 1;
    }
    return true;
}

}  // namespace

RecordWalk WalkRecord(ByteView record, std::size_t attributeLimit) {
    record = Clip(record);
    RecordWalk walk;
    AttributeWalker walker(record, attributeLimit);
    const bool hasHeader = FileRecordHeader::Parse(record).has_value();
    while (hasHeader) {
        const auto a = walker.Next();
        if (!a) break;
        if (a->type() == at::kStandardInformation) {
            const auto si = StandardInformation::Parse(a->Value());
            walk.locator.compressed = si && si->compressed() ? 1 : 0;
        } else if (a->type() == at::kAttributeList) {
            walk.hasAttributeList = true;
            walk.attributeListOffset = Offset16(a->offset());
        } else if (a->IsUnnamed(at::kData)) {
            LocateData(*a, walk);
            walk.ok = true;
            return walk;
        } else if (IsI30(*a, at::kIndexRoot) && a->isResident()) {
            walk.ok = LocateIndex(record, *a, walk);
            if (walk.ok) return walk;
            break;
        } else if (IsI30(*a, at::kIndexAllocation) && !a->isResident()) {
            LocateAllocation(*a, walk);
            walk.ok = true;
            return walk;
        }
    }
    const std::uint8_t compressed = walk.locator.compressed;
    walk.locator = RecordLocator{};
    walk.locator.compressed = compressed;
    walk.locator.kind = KindFromFlags(record);
    walk.ok = false;
    return walk;
}

ByteView LocatedRunList(ByteView record, const RecordLocator& locator) {
    if (locator.resident != 0 || locator.position == 0 || locator.position >= record.size()) {
        return {};
    }
    return record.sub(locator.position, record.size() - locator.position);
}

ByteView IndexRootEntries(ByteView record) {
    const auto root = FindAttribute(record, at::kIndexRoot, kFileNameIndexName);
    if (!root) return {};
    const auto index = IndexRoot::Parse(root->Value());
    return index ? index->Entries(root->Value()) : ByteView();
}

namespace {

void TakeName(const Attribute& a, RecordSummary& summary) {
    if (summary.fileName && !summary.fileName->isDosOnly()) return;
    auto fn = FileName::Parse(a.Value());
    if (!fn) return;
    if (summary.fileName && fn->isDosOnly()) return;  // keep the first DOS name
    summary.fileName = std::move(fn);
}

void TakeData(const Attribute& a, RecordSummary& summary) {
    summary.hasData = true;
    summary.residentData = a.isResident();
    if (a.isResident()) {
        summary.initializedSize = a.Value().size();
        summary.realSize = summary.initializedSize;
    } else {
        summary.initializedSize = a.header().initializedSize;
        summary.realSize = a.header().realSize;
    }
    summary.size = static_cast<std::uint32_t>(summary.initializedSize);
}

}  // namespace

std::optional<RecordSummary> SummarizeRecord(ByteView record) {
    record = Clip(record);
    const auto header = FileRecordHeader::Parse(record);
    if (!header) return std::nullopt;
    RecordSummary summary;
    summary.header = *header;
    summary.walk = WalkRecord(record);
    summary.flags = header->flags;
    summary.inUse = header->inUse();
    summary.isDirectory = header->isDirectory();
    summary.baseReference = header->baseReference;
    summary.hasAttributeList = summary.walk.hasAttributeList;
    summary.compressed = summary.walk.locator.compressed != 0;

    bool haveTimes = false;
    AttributeWalker walker(record);
    while (const auto a = walker.Next()) {
        if (a->type() == at::kStandardInformation && !haveTimes) {
            if (const auto si = StandardInformation::Parse(a->Value())) {
                summary.creationTime = si->creationTime;
                haveTimes = true;
            }
        } else if (a->type() == at::kFileName) {
            TakeName(*a, summary);
        } else if (a->IsUnnamed(at::kData) && !summary.hasData) {
            TakeData(*a, summary);
        }
    }
    if (summary.fileName) {
        summary.name = summary.fileName->name;
        summary.parentReference = summary.fileName->parentReference;
        summary.parentRecord = summary.fileName->parentRecord();
    }
    return summary;
}

}  // namespace tarvik
