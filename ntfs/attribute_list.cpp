#include "ntfs/attribute_list.h"

#include <algorithm>

#include "common/utf16.h"
#include "ntfs/run_bytes.h"

namespace tarvik {
namespace {

namespace at = attribute_type;
using E = AttributeListEntry;
constexpr std::uint64_t kSectorBytes = 512;

std::optional<AttributeListEntry> ParseEntry(ByteView value, std::size_t offset) {
    const auto length = value.u16(offset + E::kLengthOffset);
    if (!length || *length < E::kMinimumSize || !value.has(offset, *length)) return std::nullopt;
    const ByteView bytes = value.sub(offset, *length);
    E entry;
    entry.type = *bytes.u32(E::kTypeOffset);
    entry.length = *length;
    entry.nameLength = *bytes.u8(E::kNameLengthOffset);
    entry.nameOffset = *bytes.u8(E::kNameOffsetOffset);
    entry.startVcn = *bytes.u64(E::kStartVcnOffset);
    entry.reference = *bytes.u64(E::kBaseReferenceOffset);
    entry.attributeId = *bytes.u16(E::kAttributeIdOffset);
    if (entry.nameLength != 0) {
        const std::size_t nameBytes = std::size_t{entry.nameLength} * 2;
        const ByteView name = bytes.sub(entry.nameOffset, nameBytes);
        if (name.size() != nameBytes) return std::nullopt;
        entry.name = DecodeName(name.span());
    }
    return entry;
}

std::vector<AttributeExtent> Extents(const std::vector<AttributeListEntry>& list,
                                     std::uint32_t type, std::string_view name) {
    std::vector<AttributeExtent> extents;
    for (const E& entry : list) {
        if (entry.type != type || entry.name != name) continue;
        extents.push_back({entry.recordNumber(), entry.attributeId, entry.startVcn});
    }
    return extents;
}

}  // namespace

std::vector<AttributeListEntry> ParseAttributeList(ByteView value) {
    std::vector<AttributeListEntry> entries;
    std::size_t offset = 0;
    while (auto entry = ParseEntry(value, offset)) {
        offset += entry->length;
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::vector<AttributeExtent> UnnamedDataExtents(const std::vector<AttributeListEntry>& list) {
    return Extents(list, at::kData, {});
}

std::vector<AttributeExtent> IndexAllocationExtents(const std::vector<AttributeListEntry>& list) {
    return Extents(list, at::kIndexAllocation, kFileNameIndexName);
}

std::optional<ByteView> ExtensionRecords::Get(std::uint32_t number) {
    if (number == baseNumber_) return base_;
    auto [it, isNew] = fetched_.try_emplace(number);
    if (isNew) {
        RecordBuffer bytes;
        const bool ok = fetch_ && fetch_(number, bytes) && PrepareFileRecord(bytes);
        const auto header = ok ? FileRecordHeader::Parse(ByteView(bytes)) : std::nullopt;
        if (header && ReferenceRecordNumber(header->baseReference) == baseNumber_) {
            it->second = std::move(bytes);
        }
    }
    if (!it->second) return std::nullopt;
    return ByteView(*it->second);
}

std::optional<Attribute> ExtensionRecords::FindExtent(const AttributeExtent& extent,
                                                      std::uint32_t type, std::string_view name) {
    const auto record = Get(extent.recordNumber);
    if (!record) return std::nullopt;
    if (auto a = FindAttributeById(*record, type, extent.attributeId); a && a->Is(type, name)) {
        return a;
    }
    AttributeWalker walker(*record);
    while (auto a = walker.Next()) {
        if (a->Is(type, name) && (a->isResident() || a->header().startVcn == extent.startVcn)) {
            return a;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> IndexRootRecord(const std::vector<AttributeListEntry>& list) {
    for (const E& entry : list) {
        if (entry.type == at::kIndexRoot && entry.name == kFileNameIndexName) {
            return entry.recordNumber();
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadAttributeListValue(ByteView baseRecord,
                                                                SectorSource& source,
                                                                std::uint32_t sectorsPerCluster) {
    const auto list = FindAttribute(baseRecord, at::kAttributeList);
    if (!list) return std::nullopt;
    if (list->isResident()) {
        const ByteView value = list->Value();
        return std::vector<std::uint8_t>(value.data(), value.data() + value.size());
    }
    const std::uint64_t realSize = list->header().realSize;
    const std::size_t total =
        static_cast<std::size_t>(std::min<std::uint64_t>(realSize, kMaxAttributeListBytes));
    // A run list cut short yields the entries its runs hold: each entry names its own
    // extent, so those before the cut are sound.
    const DecodedRunList runs = DecodeRuns(list->RunList());
    std::vector<std::uint8_t> bytes;
    for (const DataRun& run : runs.runs) {
        if (bytes.size() >= total) break;
        const std::uint64_t runBytes =
            CheckedMul(run.lengthClusters, sectorsPerCluster * kSectorBytes).value_or(UINT64_MAX);
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(runBytes, total - bytes.size()));
        if (!AppendRunBytes(source, run, sectorsPerCluster, wanted, bytes)) return std::nullopt;
    }
    return bytes;
}

ExtentRunsResult AppendExtentRuns(ByteView baseRecord, std::uint32_t baseRecordNumber,
                                  const std::vector<AttributeListEntry>& list, ExtentKind kind,
                                  const RecordFetcher& fetch, std::vector<DataRun>& runs) {
    const bool data = kind == ExtentKind::kUnnamedData;
    const std::uint32_t type = data ? at::kData : at::kIndexAllocation;
    const std::string_view name = data ? std::string_view{} : kFileNameIndexName;
    ExtensionRecords records(baseRecord, baseRecordNumber, fetch);

    ExtentRunsResult result;
    for (const AttributeExtent& extent :
         data ? UnnamedDataExtents(list) : IndexAllocationExtents(list)) {
        const auto attribute = records.FindExtent(extent, type, name);
        if (!attribute || attribute->isResident() || runs.size() >= kMaxRuns) {
            ++result.extentsMissed;
            continue;
        }
        const auto decoded = DecodeRuns(attribute->RunList(), kMaxRuns - runs.size());
        runs.insert(runs.end(), decoded.runs.begin(), decoded.runs.end());
        ++result.extentsUsed;
        if (!decoded.complete && result.extentsCutShort++ == 0) result.firstFault = decoded.fault;
    }
    return result;
}

}  // namespace tarvik
