#include "carve/free_clusters.h"

#include <algorithm>

#include "filedata/file_data_copy.h"
#include "filedata/file_data_map.h"
#include "ntfs/file_record.h"
#include "scan/scan_engine.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kBitmapRecord = 6;

std::optional<std::vector<std::uint8_t>> ReadVolumeBitmap(ScanEngine& engine) {
    const auto map = MapEngineFileData(engine, kBitmapRecord);
    if (!map) return std::nullopt;
    std::vector<std::uint8_t> bits;
    VectorOutput output(bits);
    CopyOptions options;
    options.volumeSectors = engine.geometry().sizeInSectors;
    const CopyResult copy =
        CopyFileData(*map, engine.source(), engine.geometry().sectorsPerCluster, output, options);
    if (copy.unreadableSectors != 0 || bits.empty()) return std::nullopt;
    return bits;
}

void MarkRuns(ClusterMarks& marks, const FileDataMap& map) {
    if (map.resident) return;
    for (const DataRun& run : map.runs) {
        if (!run.sparse) marks.Mark(run.lcn.value(), run.lengthClusters);
    }
}

}  // namespace

void ClusterMarks::Mark(std::uint64_t first, std::uint64_t count) {
    const std::uint64_t end = std::min(clusters(), first + std::min(count, clusters()));
    for (std::uint64_t c = first; c < end; ++c) {
        if ((c & 7) == 0 && c + 8 <= end) {
            bits_[c / 8] = 0xFF;
            c += 7;
            continue;
        }
        bits_[c / 8] = static_cast<std::uint8_t>(bits_[c / 8] | (1u << (c % 8)));
    }
}

bool ClusterMarks::Marked(std::uint64_t cluster) const {
    if (cluster >= clusters()) return true;
    return ((bits_[cluster / 8] >> (cluster % 8)) & 1) != 0;
}

std::vector<ClusterExtent> ClusterMarks::Unmarked(std::uint64_t limit) const {
    std::vector<ClusterExtent> extents;
    limit = std::min(limit, clusters());
    std::uint64_t c = 0;
    while (c < limit) {
        if ((c & 7) == 0 && c + 8 <= limit && bits_[c / 8] == 0xFF) {
            c += 8;
            continue;
        }
        if (Marked(c)) {
            ++c;
            continue;
        }
        const std::uint64_t first = c;
        while (c < limit && !Marked(c)) {
            if ((c & 7) == 0 && c + 8 <= limit && bits_[c / 8] == 0) {
                c += 8;
            } else {
                ++c;
            }
        }
        extents.push_back({first, c - first});
    }
    return extents;
}

CarvableClusters FindCarvableClusters(ScanEngine& engine, const StopFlag* stop) {
    CarvableClusters result;
    auto bits = ReadVolumeBitmap(engine);
    if (!bits) {
        result.failure = "The volume's cluster bitmap ($Bitmap) cannot be read";
        return result;
    }
    ClusterMarks marks(std::move(*bits));
    const bool visited = engine.VisitMftRecords(
        [&](std::uint64_t number, std::span<std::uint8_t> record) {
            if (!PrepareFileRecord(record)) return;
            const auto map = MapEngineFileData(engine, static_cast<std::uint32_t>(number),
                                               ByteView(record.data(), record.size()));
            if (map) MarkRuns(marks, *map);
        },
        stop);
    if (!visited) {
        result.failure = "The volume's MFT was not found: which clusters files claim is unknown";
        return result;
    }
    if (stop != nullptr && stop->load()) return result;
    // Records the advance search found outside the MFT.
    const std::uint64_t mftRecords = engine.mftRecordCount();
    const Catalogue& catalogue = engine.catalogue();
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        const CatalogueEntry& entry = catalogue.At(i);
        const std::uint32_t number = entry.number;
        if (number < mftRecords || entry.IsMadeUp() || entry.IsCarved()) continue;
        if (engine.ClusterSectorsOf(number) != engine.geometry().sectorsPerCluster ||
            engine.VolumeStartOf(number).value() != 0)
            continue;  // an older volume's clusters are counted differently
        if (const auto map = MapEngineFileData(engine, number)) MarkRuns(marks, *map);
    }
    const std::uint32_t spc = std::max<std::uint32_t>(1, engine.geometry().sectorsPerCluster);
    result.extents = marks.Unmarked(engine.geometry().sizeInSectors / spc);
    for (const ClusterExtent& extent : result.extents) result.clusters += extent.count;
    return result;
}

}  // namespace tarvik
