#include "filedata/file_data_map.h"

#include <algorithm>

#include "ntfs/attribute.h"
#include "ntfs/file_record.h"
#include "scan/scan_engine.h"

namespace tarvik {
bool RunListWhole(const Attribute& attribute, const DecodedRunList& decoded) {
    if (!decoded.complete) return false;
    const AttributeHeader& h = attribute.header();
    // An empty attribute says its last VCN is -1.
    if (h.lastVcn < h.startVcn || h.lastVcn == UINT64_MAX) return true;
    const std::uint64_t wanted = h.lastVcn - h.startVcn + 1;
    std::uint64_t placed = 0;
    for (const DataRun& run : decoded.runs) {
        if (__builtin_add_overflow(placed, run.lengthClusters, &placed)) return true;
    }
    return placed >= wanted;
}

namespace {

namespace at = attribute_type;

void TakeSizes(const Attribute& attribute, FileDataMap& map) {
    const AttributeHeader& h = attribute.header();
    map.realSize = h.realSize;
    map.allocatedSize = h.allocatedSize;
    map.initializedSize = std::min(h.initializedSize, h.realSize);
    // NTFS writes units of 2^4 clusters and nothing else; the copy reads every
    // compressed attribute in such units, whatever its header says.
    if (h.isCompressed() && h.compressionUnit != 0) map.compressionUnitClusters = 16;
}

// Appends the extent's runs placed at its starting VCN. False when they do not fit.
bool AppendRuns(const Attribute& attribute, FileDataMap& map) {
    const std::uint64_t base = attribute.header().startVcn;
    const DecodedRunList decoded = DecodeRuns(attribute.RunList());
    if (!RunListWhole(attribute, decoded)) map.runsWhole = false;
    for (DataRun run : decoded.runs) {
        const auto vcn = CheckedAdd(run.vcn, base);
        if (!vcn) return false;
        run.vcn = *vcn;
        map.runs.push_back(run);
    }
    return true;
}

std::optional<FileDataMap> FromSingleAttribute(const Attribute& data) {
    FileDataMap map;
    if (data.isResident()) {
        const ByteView value = data.Value();
        map.resident = true;
        map.residentValue.assign(value.data(), value.data() + value.size());
        map.realSize = map.initializedSize = value.size();
        return map;
    }
    TakeSizes(data, map);
    AppendRuns(data, map);
    return map;
}

std::optional<FileDataMap> FromExtents(ByteView record, std::uint32_t recordNumber,
                                       const std::vector<AttributeExtent>& extents,
                                       const RecordFetcher& fetch) {
    ExtensionRecords records(record, recordNumber, fetch);
    FileDataMap map;
    bool sized = false;
    for (const AttributeExtent& extent : extents) {
        const auto attribute = records.FindExtent(extent, at::kData, {});
        if (!attribute || (attribute->isResident() && extents.size() > 1)) {
            ++map.extentsMissed;
            continue;
        }
        if (attribute->isResident()) return FromSingleAttribute(*attribute);
        // The sizes live in the extent that starts the attribute.
        if (attribute->header().startVcn == 0 && !sized) {
            TakeSizes(*attribute, map);
            sized = true;
        }
        if (!AppendRuns(*attribute, map)) ++map.extentsMissed;
    }
    if (!sized) return std::nullopt;
    return map;
}

}  // namespace

bool RunListWhole(const Attribute& attribute) {
    return attribute.isResident() || RunListWhole(attribute, DecodeRuns(attribute.RunList()));
}

bool DataSizePastRuns(const Attribute& attribute, std::uint64_t clusterBytes, bool soleExtent) {
    const AttributeHeader& h = attribute.header();
    if (attribute.isResident() || h.startVcn != 0) return false;
    if (h.realSize > h.allocatedSize) return true;
    if (!soleExtent || clusterBytes == 0) return false;
    // An empty attribute says its last VCN is -1: it places nothing.
    const std::uint64_t clusters = h.lastVcn == UINT64_MAX ? 0 : h.lastVcn + 1;
    const auto placed = CheckedMul(clusters, clusterBytes);
    return placed && h.realSize > *placed;
}

bool DataSizePastRuns(const FileDataMap& map, std::uint64_t clusterBytes) {
    if (map.resident) return false;
    if (map.realSize > map.allocatedSize) return true;
    // Runs cut short or extents missing are told apart as such.
    if (map.extentsMissed != 0 || !map.runsWhole || clusterBytes == 0) return false;
    std::uint64_t placedEnd = 0;
    for (const DataRun& run : map.runs) {
        std::uint64_t end = 0;
        if (__builtin_add_overflow(run.vcn, run.lengthClusters, &end)) return false;
        placedEnd = std::max(placedEnd, end);
    }
    const auto placed = CheckedMul(placedEnd, clusterBytes);
    return placed && map.realSize > *placed;
}

std::optional<FileDataMap> MapFileData(ByteView record, std::uint32_t recordNumber,
                                       const RecordFetcher& fetch, SectorSource& source,
                                       std::uint32_t sectorsPerCluster) {
    // A record with an attribute list may keep its data in extension records only, so
    // the list is asked first whenever there is one.
    if (FindAttribute(record, at::kAttributeList)) {
        if (const auto value = ReadAttributeListValue(record, source, sectorsPerCluster)) {
            const auto extents = UnnamedDataExtents(ParseAttributeList(ByteView(*value)));
            if (!extents.empty()) return FromExtents(record, recordNumber, extents, fetch);
        }
    }
    if (const auto data = FindAttribute(record, at::kData)) return FromSingleAttribute(*data);
    return std::nullopt;
}

std::optional<FileDataMap> MapEngineFileData(ScanEngine& engine, std::uint32_t recordNumber) {
    RecordBuffer record;
    if (!engine.ReadCataloguedRecord(recordNumber, record) || !PrepareFileRecord(record))
        return std::nullopt;
    return MapEngineFileData(engine, recordNumber, ByteView(record));
}

std::optional<FileDataMap> MapEngineFileData(ScanEngine& engine, std::uint32_t recordNumber,
                                             ByteView record) {
    // Extension records are named by their MFT numbers on the record's own volume.
    const RecordFetcher fetch = [&engine, recordNumber](std::uint32_t number, RecordBuffer& bytes) {
        return engine.ReadRecordBeside(recordNumber, number, bytes);
    };
    return MapFileData(record, engine.MftNumberOf(recordNumber), fetch,
                       engine.SourceOf(recordNumber), engine.ClusterSectorsOf(recordNumber));
}

}  // namespace tarvik
