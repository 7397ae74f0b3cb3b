#include "ntfs/record_inspection.h"

#include <utility>

#include "ntfs/file_record.h"
#include "ntfs/record_summary.h"

namespace tarvik {

bool HasFileSignature(std::span<const std::uint8_t> record) {
    return FileRecordHeader::HasSignature(ByteView(record.data(), record.size()));
}

std::optional<InspectedRecord> InspectRecord(std::span<std::uint8_t> record) {
    if (!PrepareFileRecord(record)) return std::nullopt;
    return InspectPreparedRecord(record);
}

namespace {

// What the scan keeps of a summary that is not kept itself: its names move over rather
// than being copied.
void TakeSummary(RecordSummary& summary, InspectedRecord& inspected) {
    inspected.flags = summary.flags;
    inspected.isBase = !summary.isExtension();
    if (summary.hasName()) inspected.name = std::move(summary.fileName->name);
    inspected.parent = summary.parentRecord;
    inspected.parentSequence = static_cast<std::uint16_t>(summary.parentReference >> 48);
    for (FileName& link : summary.otherLinks)
        inspected.otherLinks.push_back({std::move(link.name), link.parentRecord(),
                                        static_cast<std::uint16_t>(link.parentReference >> 48)});
    inspected.ownNumber = summary.header.recordNumber;
    inspected.sequence = summary.header.sequenceNumber;
    inspected.creationTime = summary.creationTime;
    inspected.modificationTime = summary.modificationTime;
    inspected.size = summary.realSize;
    inspected.hasData = summary.hasData;
    inspected.baseNumber = static_cast<std::uint32_t>(summary.baseReference);
    inspected.compressed = summary.compressed;
    inspected.hasAttributeList = summary.hasAttributeList;
}

}  // namespace

std::optional<InspectedRecord> InspectPreparedRecord(std::span<const std::uint8_t> record,
                                                     AttributeVisitor* alsoSee) {
    auto summary = SummarizeRecord(ByteView(record.data(), record.size()), alsoSee);
    // Built where it is returned, every path returning this one object.
    std::optional<InspectedRecord> result(std::in_place);
    if (summary) {
        TakeSummary(*summary, *result);
    } else {
        result.reset();
    }
    return result;
}

std::optional<std::string> RecordName(std::span<const std::uint8_t> record) {
    RecordBuffer copy(record.begin(), record.end());
    const auto inspected = InspectRecord(copy);
    if (!inspected) return std::nullopt;
    return inspected->name;
}

}  // namespace tarvik
