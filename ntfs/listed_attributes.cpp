#include "ntfs/listed_attributes.h"

#include <algorithm>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/file_name.h"
#include "ntfs/record_summary.h"

namespace tarvik {
namespace {

namespace at = attribute_type;

// Every name the list holds, non-DOS names first (in list order), then the first DOS
// name: the first is the record's best name, the other non-DOS ones its hard links.
std::vector<FileName> ListedNames(const std::vector<AttributeListEntry>& list,
                                  ExtensionRecords& records) {
    std::vector<FileName> names;
    std::optional<FileName> dos;
    std::vector<std::uint64_t> recordsLooked;
    std::size_t looked = 0;
    for (const AttributeListEntry& entry : list) {
        if (entry.type != at::kFileName) continue;
        if (++looked > kMaxListedNames) break;
        const std::uint64_t number = entry.recordNumber();
        if (std::find(recordsLooked.begin(), recordsLooked.end(), number) == recordsLooked.end()) {
            if (recordsLooked.size() == kMaxListedNameRecords) continue;
            recordsLooked.push_back(number);
        }
        const auto attribute = records.FindExtent(
            {entry.recordNumber(), entry.attributeId, entry.startVcn}, at::kFileName, {});
        if (!attribute || !attribute->isResident()) continue;
        auto name = FileName::Parse(attribute->Value());
        if (!name) continue;
        if (!name->isDosOnly()) {
            names.push_back(std::move(*name));
        } else if (!dos) {
            dos = std::move(name);
        }
    }
    if (dos) names.push_back(std::move(*dos));
    return names;
}

bool AlreadyNamed(const InspectedRecord& inspected, const FileName& name) {
    if (inspected.name && *inspected.name == name.name && inspected.parent == name.parentRecord())
        return true;
    for (const RecordLink& link : inspected.otherLinks) {
        if (link.name == name.name && link.parent == name.parentRecord()) return true;
    }
    return false;
}

// The extent of the unnamed $DATA that starts it, when an extension record holds it.
std::optional<Attribute> ListedDataStart(const std::vector<AttributeListEntry>& list,
                                         std::uint32_t recordNumber, ExtensionRecords& records) {
    for (const AttributeExtent& extent : UnnamedDataExtents(list)) {
        if (extent.startVcn != 0) continue;
        if (extent.recordNumber == recordNumber) return std::nullopt;
        return records.FindExtent(extent, at::kData, {});
    }
    return std::nullopt;
}

// The record's own best name is a DOS 8.3 name: its long name may lie elsewhere.
bool HoldsDosNameOnly(ByteView record) {
    const auto summary = SummarizeRecord(record);
    return summary && summary->fileName && summary->fileName->isDosOnly();
}

}  // namespace

void TakeListedAttributes(InspectedRecord& inspected, ByteView record, std::uint32_t recordNumber,
                          const RecordFetcher& fetch, SectorSource& source,
                          std::uint32_t sectorsPerCluster) {
    if (!inspected.hasAttributeList || !inspected.isBase) return;
    const auto value = ReadAttributeListValue(record, source, sectorsPerCluster);
    if (!value) return;
    const auto list = ParseAttributeList(ByteView(*value));
    ExtensionRecords records(record, recordNumber, fetch);
    const bool dosOnly = inspected.name && HoldsDosNameOnly(record);
    const std::vector<FileName> names = ListedNames(list, records);
    if (!names.empty() && (!inspected.name || (dosOnly && !names.front().isDosOnly()))) {
        const FileName& name = names.front();
        inspected.name = name.name;
        inspected.parent = name.parentRecord();
        inspected.parentSequence = static_cast<std::uint16_t>(name.parentReference >> 48);
    }
    // The hard links whose names lie in extension records.
    for (const FileName& name : names) {
        if (name.isDosOnly() || AlreadyNamed(inspected, name)) continue;
        inspected.otherLinks.push_back({name.name, name.parentRecord(),
                                        static_cast<std::uint16_t>(name.parentReference >> 48)});
    }
    if (const auto data = ListedDataStart(list, recordNumber, records)) {
        inspected.size = data->isResident() ? data->Value().size() : data->header().realSize;
    }
}

}  // namespace tarvik
