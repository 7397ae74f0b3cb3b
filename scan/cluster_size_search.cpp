#include "scan/cluster_size_search.h"

#include "ntfs/attribute.h"
#include "ntfs/file_record.h"
#include "ntfs/run_list.h"

namespace tarvik {

namespace {

// The record at `sector` is MFT record `number` (when it stores its number) in use, and
// its unnamed data's first run starts at cluster `firstCluster`.
bool RecordStartsAt(SectorSource& source, DriveSector sector, std::uint32_t recordSize,
                    std::uint32_t number, std::uint64_t firstCluster) {
    RecordBuffer record(recordSize);
    if (!source.Read(sector, record) || !PrepareFileRecord(record)) return false;
    const ByteView view(record);
    const auto header = FileRecordHeader::Parse(view);
    if (!header || !header->inUse() || header->isExtension()) return false;
    if (header->recordNumber && *header->recordNumber != number) return false;
    const auto data = FindAttribute(view, attribute_type::kData);
    if (!data || data->isResident() || data->header().startVcn != 0) return false;
    const DecodedRunList decoded = DecodeRuns(data->RunList(), 1);
    return !decoded.runs.empty() && !decoded.runs.front().sparse &&
           decoded.runs.front().lcn.value() == firstCluster;
}

}  // namespace

bool MftConfirmsClusterUnits(SectorSource& source, const NtfsBootSector& boot,
                             std::uint32_t unitsPerCluster) {
    const auto recordSize = boot.RecordSizeWith(unitsPerCluster);
    if (!recordSize) return false;
    const std::uint32_t recordSectors = *recordSize / 512;
    for (const std::uint64_t place : {boot.mftCluster(), boot.mftMirrorCluster()}) {
        const auto start = ClusterStart(Cluster(place), unitsPerCluster);
        if (!start || start->value() > UINT64_MAX - recordSectors) continue;
        if (RecordStartsAt(source, *start, *recordSize, 0, boot.mftCluster()) ||
            RecordStartsAt(source, DriveSector(start->value() + recordSectors), *recordSize, 1,
                           boot.mftMirrorCluster()))
            return true;
    }
    return false;
}

std::optional<std::uint32_t> FindClusterUnitsByMft(SectorSource& source,
                                                   const NtfsBootSector& boot) {
    const auto sectorSize = boot.SectorSize();
    if (!sectorSize) return std::nullopt;
    const auto stated = boot.UnitsPerCluster();
    if (stated && MftConfirmsClusterUnits(source, boot, *stated)) return stated;
    for (std::uint32_t units = *sectorSize / 512; units <= kMaxClusterUnits; units *= 2) {
        if (units != stated && MftConfirmsClusterUnits(source, boot, units)) return units;
    }
    return std::nullopt;
}

}  // namespace tarvik
