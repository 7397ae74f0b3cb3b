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

std::optional<InspectedRecord> InspectPreparedRecord(std::span<const std::uint8_t> record) {
    auto summary = SummarizeRecord(ByteView(record.data(), record.size()));
    if (!summary) return std::nullopt;
    std::optional<InspectedRecord> result(std::in_place);
    InspectedRecord& inspected = *result;
    inspected.flags = summary->flags;
    inspected.isBase = !summary->isExtension();
    // The summary is not kept: its names move over rather than being copied.
    if (summary->hasName()) inspected.name = std::move(summary->fileName->name);
    inspected.parent = summary->parentRecord;
    inspected.parentSequence = static_cast<std::uint16_t>(summary->parentReference >> 48);
    for (FileName& link : summary->otherLinks)
        inspected.otherLinks.push_back({std::move(link.name), link.parentRecord(),
                                        static_cast<std::uint16_t>(link.parentReference >> 48)});
    inspected.ownNumber = summary->header.recordNumber;
    inspected.sequence = summary->header.sequenceNumber;
    inspected.creationTime = summary->creationTime;
    inspected.modificationTime = summary->modificationTime;
    inspected.size = summary->realSize;
    inspected.hasData = summary->hasData;
    inspected.baseNumber = static_cast<std::uint32_t>(summary->baseReference);
    inspected.compressed = summary->compressed;
    inspected.hasAttributeList = summary->hasAttributeList;
    return result;
}

std::optional<std::string> RecordName(std::span<const std::uint8_t> record) {
    RecordBuffer copy(record.begin(), record.end());
    const auto inspected = InspectRecord(copy);
    if (!inspected) return std::nullopt;
    return inspected->name;
}

}  // namespace tarvik
