#include "analysis/written_over_probe.h"

#include <algorithm>

#include "filedata/file_data_map.h"

namespace tarvik {

WrittenData WhereWritten(const FileDataMap& map, std::uint32_t clusterSectors) {
    WrittenData where;
    const std::uint64_t clusterBytes = std::uint64_t{clusterSectors} * 512;
    if (map.resident || map.compressionUnitClusters != 0 || map.initializedSize < map.realSize ||
        map.realSize == 0 || clusterBytes == 0 || clusterBytes > (1u << 20))
        return where;
    where.clusterBytes = static_cast<std::uint32_t>(clusterBytes);
    const std::uint64_t fullClusters = map.realSize / clusterBytes;
    for (const DataRun& run : map.runs) {
        if (run.vcn != 0 || run.sparse) continue;
        const auto sector = ClusterStart(run.lcn, clusterSectors);
        if (!sector) break;
        where.headSector = sector->value();
        where.headClusters = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            {run.lengthClusters, fullClusters, WrittenData::kClustersLooked}));
        break;
    }
    // Byte offsets within the file: its last cluster, what is looked at in it.
    const std::uint64_t end = map.realSize;
    const std::uint64_t vcn = (end - 1) / clusterBytes;
    const std::uint64_t clusterStart = vcn * clusterBytes;
    const std::uint64_t clusterEnd = clusterStart + clusterBytes;
    const std::uint64_t pageEnd = std::min(
        (end + WrittenData::kPage - 1) / WrittenData::kPage * WrittenData::kPage, clusterEnd);
    constexpr std::uint64_t kLastBytes = 64;
    const bool lastInCluster = end >= clusterStart + kLastBytes;
    const std::uint64_t from = lastInCluster ? (end - kLastBytes) / 512 * 512 : end / 512 * 512;
    const std::uint64_t to = (pageEnd + 511) / 512 * 512;
    if (to <= from || to - from > WrittenData::kPage + 512) return where;
    for (const DataRun& run : map.runs) {
        if (run.sparse || vcn < run.vcn || vcn - run.vcn >= run.lengthClusters) continue;
        const auto cluster = run.lcn.Plus(vcn - run.vcn);
        const auto sector = cluster ? ClusterStart(*cluster, clusterSectors) : std::nullopt;
        if (!sector) break;
        where.tailSector = sector->value() + (from - clusterStart) / 512;
        where.tailSectors = static_cast<std::uint16_t>((to - from) / 512);
        if (lastInCluster) where.lastFrom = static_cast<std::uint16_t>(end - kLastBytes - from);
        where.endAt = static_cast<std::uint16_t>(end - from);
        where.pageEndAt = static_cast<std::uint16_t>(pageEnd - from);
        break;
    }
    return where;
}

WrittenOverProbe::WrittenOverProbe(const WrittenData& where) : where_(where) {
    if (where_.clusterBytes < kZeroEnd || where_.clusterBytes % 512 != 0) where_.headClusters = 0;
    // No more sectors around the end than bits to count them (a page and a sector).
    if (where_.tailSectors > 31) where_.tailSector.reset();
}

void WrittenOverProbe::Saw(std::uint64_t sector, std::span<const std::uint8_t> bytes) {
    const std::uint64_t sectors = bytes.size() / 512;
    const auto holds = [&](std::uint64_t at) { return at >= sector && at - sector < sectors; };
    const auto sectorBytes = [&](std::uint64_t at) {
        return bytes.subspan((at - sector) * 512, 512);
    };
    const auto zero = [](std::uint8_t b) { return b == 0; };
    const std::uint64_t clusterSectors = where_.clusterBytes / 512;
    for (std::uint32_t c = 0; c < where_.headClusters && !zeroEndedCluster_; ++c) {
        // The cluster's last sector holds its last kZeroEnd bytes.
        const std::uint64_t last = where_.headSector + (std::uint64_t{c} + 1) * clusterSectors - 1;
        if (!holds(last)) continue;
        const auto end = sectorBytes(last).last(kZeroEnd);
        zeroEndedCluster_ = std::all_of(end.begin(), end.end(), zero);
    }
    if (!where_.tailSector) return;
    for (std::uint32_t s = 0; s < where_.tailSectors; ++s) {
        const std::uint64_t at = *where_.tailSector + s;
        if (!holds(at)) continue;
        tailSeen_ |= 1u << s;
        const auto seen = sectorBytes(at);
        // Offsets from the first tail sector: what of [from, to) this sector holds.
        const auto anyNotZero = [&](std::uint32_t from, std::uint32_t to) {
            const std::uint32_t first = std::max(from, s * 512);
            const std::uint32_t last = std::min(to, (s + 1) * 512);
            return first < last && !std::all_of(seen.begin() + (first - s * 512),
                                                seen.begin() + (last - s * 512), zero);
        };
        if (where_.lastFrom && anyNotZero(*where_.lastFrom, where_.endAt)) lastNotZero_ = true;
        if (anyNotZero(where_.endAt, where_.pageEndAt)) afterEndNotZero_ = true;
    }
}

bool WrittenOverProbe::WrittenOver() const {
    if (zeroEndedCluster_) return true;
    if (!where_.tailSector || where_.tailSectors == 0) return false;
    if (tailSeen_ != (1u << where_.tailSectors) - 1) return false;
    return (where_.lastFrom && !lastNotZero_) || afterEndNotZero_;
}

bool ProbingSource::Read(DriveSector sector, std::span<std::uint8_t> buffer) {
    if (!drive_.Read(sector, buffer)) return false;
    probe_.Saw(sector.value(), buffer);
    return true;
}

}  // namespace tarvik
