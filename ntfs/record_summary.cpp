#include "ntfs/record_summary.h"

#include <algorithm>
#include <limits>

#include "ntfs/attribute.h"
#include "ntfs/standard_information.h"

namespace tarvik {
namespace {

namespace at = attribute_type;

// Attribute offsets are 16-bit fields; no record needs more.
constexpr std::size_t kLargestOffset = std::numeric_limits<std::uint16_t>::max();

ByteView Clip(ByteView record) {
    return record.sub(0, std::min(record.size(), kLargestOffset));
}

void TakeName(const Attribute& a, RecordSummary& summary) {
    // Once a name is held, a DOS name is never taken: its namespace byte tells, before
    // the name is decoded for nothing.
    if (summary.fileName && a.Value().u8(FileName::kNamespaceOffset) == kNamespaceDos) return;
    auto fn = FileName::Parse(a.Value());
    if (!fn) return;
    if (summary.fileName && !summary.fileName->isDosOnly()) {
        if (!fn->isDosOnly()) summary.otherLinks.push_back(std::move(*fn));
        return;
    }
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

// Fills `summary` from the record; false when it has no FILE header.
bool ReadSummary(ByteView record, RecordSummary& summary, AttributeVisitor* alsoSee) {
    const auto header = FileRecordHeader::Parse(record);
    if (!header) return false;
    summary.header = *header;
    summary.flags = header->flags;
    summary.inUse = header->inUse();
    summary.isDirectory = header->isDirectory();
    summary.baseReference = header->baseReference;

    bool haveTimes = false;
    AttributeWalker walker(record);
    while (const auto a = walker.Next()) {
        if (alsoSee != nullptr) alsoSee->Visit(*a);
        if (a->type() == at::kStandardInformation && !haveTimes) {
            if (const auto si = StandardInformation::Parse(a->Value())) {
                summary.creationTime = si->creationTime;
                summary.modificationTime = si->modificationTime;
                summary.compressed = si->compressed();
                haveTimes = true;
            }
        } else if (a->type() == at::kAttributeList) {
            summary.hasAttributeList = true;
        } else if (a->type() == at::kFileName) {
            TakeName(*a, summary);
        } else if (a->IsUnnamed(at::kData) && !summary.hasData) {
            TakeData(*a, summary);
        }
    }
    if (summary.fileName) {
        summary.parentReference = summary.fileName->parentReference;
        summary.parentRecord = summary.fileName->parentRecord();
    }
    return true;
}

}  // namespace

const std::string& RecordSummary::name() const {
    static const std::string kNone;
    return fileName ? fileName->name : kNone;
}

std::optional<RecordSummary> SummarizeRecord(ByteView record, AttributeVisitor* alsoSee) {
    // Built where it is returned, every path returning this one object: a summary is
    // made for every record of the MFT and is not moved about.
    std::optional<RecordSummary> result(std::in_place);
    if (!ReadSummary(Clip(record), *result, alsoSee)) result.reset();
    return result;
}

}  // namespace tarvik
