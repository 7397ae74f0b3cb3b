#include "filedata/file_data_copy.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ntfs/lznt1.h"

namespace tarvik {
namespace {

constexpr std::uint64_t kSectorBytes = 512;
constexpr std::uint64_t kCompressionUnitClusters = 16;
constexpr std::uint64_t kMaxCompressedCluster = 4096;

// Reads a range of clusters of the file (by VCN) into a buffer: runs are read in whole
// requests, sparse runs and clusters no run covers stay zero, and a request that fails
// or comes back short (an image that lacks part of it) is retried sector by sector, the
// sectors that cannot be read left zero and counted.
class ClusterReader {
  public:
    ClusterReader(const FileDataMap& map, SectorSource& source, std::uint32_t sectorsPerCluster,
                  std::uint64_t volumeSectors, const StopFlag* stop, std::vector<FileRange>* ranges)
        : runs_(map.runs),
          source_(source),
          spc_(sectorsPerCluster),
          volumeSectors_(std::min(volumeSectors != 0 ? volumeSectors : UINT64_MAX,
                                  source.SectorCount().value_or(UINT64_MAX))),
          stop_(stop),
          ranges_(ranges) {
        std::stable_sort(runs_.begin(), runs_.end(),
                         [](const DataRun& a, const DataRun& b) { return a.vcn < b.vcn; });
    }

    // Fills `buffer` (count clusters) from cluster `first`. False when stopped. A run
    // whose place on the drive overflows is not read: its clusters stay zero and count
    // as unreadable, as do clusters past the volume's end or the disk's (an image
    // shorter than its volume).
    bool Read(std::uint64_t first, std::uint64_t count, std::span<std::uint8_t> buffer) {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        const std::uint64_t end = first + count;
        const std::uint64_t clusterBytes = std::uint64_t{spc_} * kSectorBytes;
        // Clusters of the file no run places (a run list cut short, an extent not found)
        // are missing.
        const std::uint64_t owned = std::min(end, fileClusters_) - std::min(first, fileClusters_);
        const std::uint64_t placed = PlacedClusters(first, owned);
        if (placed < owned) {
            unreadable_ += (owned - placed) * spc_;
            NoteUnplaced(first, first + owned);
        }
        for (const DataRun& run : runs_) {
            const std::uint64_t runEnd = RunEnd(run);
            if (run.sparse || runEnd <= first || run.vcn >= end) continue;
            const std::uint64_t from = std::max(first, run.vcn);
            const std::uint64_t to = std::min(end, runEnd);
            auto part = buffer.subspan((from - first) * clusterBytes, (to - from) * clusterBytes);
            const auto cluster = run.lcn.Plus(from - run.vcn);
            const auto sector = cluster ? ClusterStart(*cluster, spc_) : std::nullopt;
            if (!sector || !sector->Plus((to - from) * spc_)) {
                unreadable_ += (to - from) * spc_;
                Lost(from * clusterBytes, (to - from) * clusterBytes);
                continue;
            }
            // Only the clusters inside the volume are read.
            const std::uint64_t inside =
                sector->value() >= volumeSectors_
                    ? 0
                    : std::min<std::uint64_t>(to - from, (volumeSectors_ - sector->value()) / spc_);
            unreadable_ += (to - from - inside) * spc_;
            Lost((from + inside) * clusterBytes, (to - from - inside) * clusterBytes);
            if (inside != 0 &&
                !ReadPart(*sector, part.first(inside * clusterBytes), from * clusterBytes))
                return false;
        }
        return true;
    }

    // Clusters in [first, first + count) that some non-sparse run holds.
    std::uint64_t AllocatedClusters(std::uint64_t first, std::uint64_t count) const {
        std::uint64_t allocated = 0;
        const std::uint64_t end = first + count;
        for (const DataRun& run : runs_) {
            const std::uint64_t runEnd = RunEnd(run);
            if (!run.sparse && runEnd > first && run.vcn < end)
                allocated += std::min(end, runEnd) - std::max(first, run.vcn);
        }
        return allocated;
    }

    // Clusters in [first, first + count) that some run, sparse or not, places.
    std::uint64_t PlacedClusters(std::uint64_t first, std::uint64_t count) const {
        std::uint64_t placed = 0;
        std::uint64_t at = first;  // runs are in VCN order: what lies before `at` is counted
        const std::uint64_t end = first + count;
        for (const DataRun& run : runs_) {
            const std::uint64_t from = std::max(at, run.vcn);
            const std::uint64_t to = std::min(end, RunEnd(run));
            if (from >= to) continue;
            placed += to - from;
            at = to;
        }
        return placed;
    }

    std::uint64_t unreadable() const { return unreadable_; }
    // The clusters that hold the file's bytes: those past them are read, never missed.
    void HoldsClusters(std::uint64_t clusters) { fileClusters_ = clusters; }
    // Bytes of the file at `offset` that could not be read.
    void CountUnreadable(std::uint64_t offset, std::uint64_t bytes) {
        unreadable_ += bytes / kSectorBytes;
        Lost(offset, bytes);
    }

  private:
    bool Stopped() const { return stop_ != nullptr && stop_->load(); }

    // Where a run ends within the file; the file's clusters are counted in 64 bits, so a
    // run said to reach past that ends there.
    static std::uint64_t RunEnd(const DataRun& run) {
        return CheckedAdd(run.vcn, run.lengthClusters).value_or(UINT64_MAX);
    }

    // Where the file's clusters in [first, end) that no run places lie.
    void NoteUnplaced(std::uint64_t first, std::uint64_t end) {
        if (ranges_ == nullptr) return;
        const std::uint64_t clusterBytes = std::uint64_t{spc_} * kSectorBytes;
        std::uint64_t at = first;
        for (const DataRun& run : runs_) {
            if (at >= end) break;
            if (run.vcn > at) Lost(at * clusterBytes, (std::min(run.vcn, end) - at) * clusterBytes);
            at = std::max(at, RunEnd(run));
        }
        if (at < end) Lost(at * clusterBytes, (end - at) * clusterBytes);
    }

    void Lost(std::uint64_t offset, std::uint64_t bytes) {
        if (ranges_ == nullptr || bytes == 0) return;
        if (!ranges_->empty() && ranges_->back().offset + ranges_->back().length == offset) {
            ranges_->back().length += bytes;
            return;
        }
        ranges_->push_back({offset, bytes});
    }

    // Reads the part of the file at `fileOffset` from `sector`.
    bool ReadPart(DriveSector sector, std::span<std::uint8_t> part, std::uint64_t fileOffset) {
        if (Stopped()) return false;
        if (source_.Read(sector, part)) return true;
        for (std::size_t offset = 0; offset < part.size(); offset += kSectorBytes) {
            if (Stopped()) return false;
            auto one = part.subspan(offset, kSectorBytes);
            if (!source_.Read(DriveSector(sector.value() + offset / kSectorBytes), one)) {
                std::fill(one.begin(), one.end(), std::uint8_t{0});
                ++unreadable_;
                Lost(fileOffset + offset, kSectorBytes);
            }
        }
        return true;
    }

    std::vector<DataRun> runs_;
    SectorSource& source_;
    std::uint32_t spc_;
    std::uint64_t volumeSectors_;
    const StopFlag* stop_;
    std::uint64_t unreadable_ = 0;
    std::uint64_t fileClusters_ = UINT64_MAX;
    std::vector<FileRange>* ranges_;
};

// Replaces each compression unit of `buffer` by its decompressed form: a unit whose
// clusters are all stored is raw, one with none is zeros, and one with a sparse tail
// holds LZNT1 data in its stored clusters.
void DecompressUnits(ClusterReader& reader, std::uint64_t firstCluster, std::uint64_t units,
                     std::uint64_t unitClusters, std::uint64_t clusterBytes,
                     std::span<std::uint8_t> buffer, std::vector<std::uint8_t>& scratch) {
    const std::size_t unitBytes = unitClusters * clusterBytes;
    scratch.resize(unitBytes);
    for (std::uint64_t u = 0; u < units; ++u) {
        const std::uint64_t stored =
            reader.AllocatedClusters(firstCluster + u * unitClusters, unitClusters);
        // Overlapping or repeated runs can add up to more than the unit holds: such a
        // unit is taken as stored whole, never read past its end.
        if (stored >= unitClusters || stored == 0) continue;
        auto unit = buffer.subspan(u * unitBytes, unitBytes);
        const auto input = std::span<const std::uint8_t>(unit).first(stored * clusterBytes);
        if (!DecompressLznt1(input, scratch)) {
            std::fill(scratch.begin(), scratch.end(), std::uint8_t{0});
            reader.CountUnreadable((firstCluster + u * unitClusters) * clusterBytes, unitBytes);
        }
        std::memcpy(unit.data(), scratch.data(), unitBytes);
    }
}

// The file's sectors written so far, told once per read request (a call per sector
// would be two million per GiB).
class ProgressSteps {
  public:
    ProgressSteps(ProgressSink* sink, std::uint64_t bytes) : sink_(sink) {
        if (!sink_) return;
        sink_->SetRange(0, (bytes + kSectorBytes - 1) / kSectorBytes);
        sink_->SetPosition(0);
    }
    void Written(std::uint64_t bytes) {
        if (!sink_) return;
        written_ += (bytes + kSectorBytes - 1) / kSectorBytes;
        sink_->SetPosition(written_);
    }

  private:
    ProgressSink* sink_;
    std::uint64_t written_ = 0;
};

// How much of the file the map can place: a damaged record's real size may claim far
// more than its runs cover, and no more than the runs' extent (or, when extents are
// missing or a run list is cut short, the allocation the record states) is ever written.
std::uint64_t WritableLength(const FileDataMap& map, std::uint64_t clusterBytes) {
    std::uint64_t mappedEnd = 0;
    for (const DataRun& run : map.runs) {
        std::uint64_t end = 0;
        if (!__builtin_add_overflow(run.vcn, run.lengthClusters, &end))
            mappedEnd = std::max(mappedEnd, end);
    }
    std::uint64_t mappedBytes = 0;
    if (__builtin_mul_overflow(mappedEnd, clusterBytes, &mappedBytes)) mappedBytes = UINT64_MAX;
    if (map.extentsMissed != 0 || !map.runsWhole)
        mappedBytes = std::max(mappedBytes, map.allocatedSize);
    return std::min(map.realSize, mappedBytes);
}

}  // namespace

std::uint64_t CopyLength(const FileDataMap& map, std::uint32_t sectorsPerCluster,
                         std::uint64_t volumeSectors) {
    std::uint64_t length = WritableLength(map, std::uint64_t{sectorsPerCluster} * kSectorBytes);
    if (volumeSectors != 0)
        length = std::min(length, CheckedMul(volumeSectors, kSectorBytes).value_or(UINT64_MAX));
    return length;
}

std::optional<std::vector<DataPiece>> PlainPieces(const FileDataMap& map,
                                                  std::uint32_t sectorsPerCluster,
                                                  std::uint64_t volumeSectors) {
    if (map.resident || sectorsPerCluster == 0 || map.compressionUnitClusters != 0 ||
        map.extentsMissed != 0 || !map.runsWhole)
        return std::nullopt;
    const std::uint64_t clusterBytes = std::uint64_t{sectorsPerCluster} * kSectorBytes;
    const std::uint64_t length = CopyLength(map, sectorsPerCluster, volumeSectors);
    if (map.initializedSize < length) return std::nullopt;
    const std::uint64_t needed = length / clusterBytes + (length % clusterBytes != 0);
    const std::uint64_t volume = volumeSectors != 0 ? volumeSectors : UINT64_MAX;
    std::vector<DataRun> runs = map.runs;
    std::stable_sort(runs.begin(), runs.end(),
                     [](const DataRun& a, const DataRun& b) { return a.vcn < b.vcn; });
    std::vector<DataPiece> pieces;
    std::uint64_t next = 0;  // the first cluster no piece holds yet
    for (const DataRun& run : runs) {
        if (next >= needed) break;
        if (run.sparse || run.vcn != next || run.lengthClusters == 0) return std::nullopt;
        const std::uint64_t clusters = std::min(run.lengthClusters, needed - next);
        const auto sector = ClusterStart(run.lcn, sectorsPerCluster);
        const auto sectors = CheckedMul(clusters, sectorsPerCluster);
        if (!sector || !sectors || sector->value() >= volume || *sectors > volume - sector->value())
            return std::nullopt;
        pieces.push_back({*sector, next * clusterBytes, clusters});
        next += clusters;
    }
    if (next < needed) return std::nullopt;
    return pieces;
}

CopyResult CopyPiece(const DataPiece& piece, std::uint64_t fileLength, SectorSource& source,
                     std::uint32_t sectorsPerCluster, PositionedOutput& output,
                     const CopyOptions& options,
                     const std::function<void(std::uint64_t)>& written) {
    CopyResult result;
    const std::uint64_t clusterBytes = std::uint64_t{sectorsPerCluster} * kSectorBytes;
    if (clusterBytes == 0) return result;
    const std::uint64_t perRequest =
        std::max<std::uint64_t>(1, options.maxRequestBytes / clusterBytes);
    const auto stopped = [&] { return options.stop != nullptr && options.stop->load(); };
    // Sectors past the disk's end are not asked for: they are missing (zeros, counted).
    const std::uint64_t diskSectors = source.SectorCount().value_or(UINT64_MAX);
    std::vector<std::uint8_t> buffer;
    for (std::uint64_t done = 0; done < piece.clusters; done += perRequest) {
        const std::uint64_t offset = piece.offset + done * clusterBytes;
        if (offset >= fileLength) break;
        const std::uint64_t clusters = std::min(perRequest, piece.clusters - done);
        buffer.resize(clusters * clusterBytes);
        const DriveSector sector(piece.sector.value() + done * sectorsPerCluster);
        if (stopped()) {
            result.stopped = true;
            break;
        }
        const std::uint64_t onDisk = sector.value() >= diskSectors
                                         ? 0
                                         : std::min<std::uint64_t>(buffer.size() / kSectorBytes,
                                                                   diskSectors - sector.value());
        const auto readable = std::span(buffer).first(onDisk * kSectorBytes);
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(readable.size()), buffer.end(),
                  std::uint8_t{0});
        result.unreadableSectors += buffer.size() / kSectorBytes - onDisk;
        if (!readable.empty() && !source.Read(sector, readable)) {
            for (std::size_t at = 0; at < readable.size(); at += kSectorBytes) {
                if (stopped()) {
                    result.stopped = true;
                    return result;
                }
                auto one = readable.subspan(at, kSectorBytes);
                if (!source.Read(DriveSector(sector.value() + at / kSectorBytes), one)) {
                    std::fill(one.begin(), one.end(), std::uint8_t{0});
                    ++result.unreadableSectors;
                }
            }
        }
        const std::uint64_t length = std::min<std::uint64_t>(buffer.size(), fileLength - offset);
        if (!output.WriteAt(offset, std::span<const std::uint8_t>(buffer).first(length))) {
            result.writeFailed = true;
            break;
        }
        result.bytesWritten += length;
        if (written) written(length);
    }
    return result;
}

CopyResult CopyFileData(const FileDataMap& map, SectorSource& source,
                        std::uint32_t sectorsPerCluster, DataOutput& output,
                        const CopyOptions& options) {
    CopyResult result;
    if (map.resident) {
        const std::span<const std::uint8_t> value(map.residentValue);
        result.writeFailed = !output.Write(value);
        result.bytesWritten = result.writeFailed ? 0 : value.size();
        return result;
    }
    if (sectorsPerCluster == 0) return result;
    const std::uint64_t clusterBytes = std::uint64_t{sectorsPerCluster} * kSectorBytes;
    // NTFS compresses in units of 16 clusters, and only on volumes of clusters up to
    // 4 KiB; the unit size the record states is not trusted (a damaged one would make a
    // unit of gigabytes). Data said to be compressed on larger clusters is written as
    // stored.
    const bool compressed =
        map.compressionUnitClusters != 0 && clusterBytes <= kMaxCompressedCluster;
    const std::uint64_t unitClusters = compressed ? kCompressionUnitClusters : 1;
    const std::uint64_t unitBytes = unitClusters * clusterBytes;
    const std::uint64_t unitsPerRequest =
        std::max<std::uint64_t>(1, options.maxRequestBytes / unitBytes);
    const std::uint64_t fileLength = CopyLength(map, sectorsPerCluster, options.volumeSectors);
    const std::uint64_t totalUnits = fileLength / unitBytes + (fileLength % unitBytes != 0);

    ClusterReader reader(map, source, sectorsPerCluster, options.volumeSectors, options.stop,
                         options.unreadableRanges);
    reader.HoldsClusters(fileLength / clusterBytes + (fileLength % clusterBytes != 0));
    ProgressSteps progress(options.progress, fileLength);
    std::vector<std::uint8_t> buffer;
    std::vector<std::uint8_t> scratch;
    for (std::uint64_t unit = 0; unit < totalUnits; unit += unitsPerRequest) {
        const std::uint64_t units = std::min(unitsPerRequest, totalUnits - unit);
        buffer.resize(units * unitBytes);
        const std::uint64_t firstCluster = unit * unitClusters;
        if (!reader.Read(firstCluster, units * unitClusters, buffer)) {
            result.stopped = true;
            break;
        }
        if (compressed) {
            DecompressUnits(reader, firstCluster, units, unitClusters, clusterBytes, buffer,
                            scratch);
        }
        // The file ends at its real size; past the initialized size it reads as zeros.
        const std::uint64_t offset = unit * unitBytes;
        const std::uint64_t length = std::min<std::uint64_t>(buffer.size(), fileLength - offset);
        if (map.initializedSize < offset + length) {
            const std::uint64_t zeroFrom = std::max(map.initializedSize, offset) - offset;
            std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(zeroFrom),
                      buffer.begin() + static_cast<std::ptrdiff_t>(length), std::uint8_t{0});
        }
        if (!output.Write(std::span<const std::uint8_t>(buffer).first(length))) {
            result.writeFailed = true;
            break;
        }
        result.bytesWritten += length;
        progress.Written(length);
    }
    result.unreadableSectors = reader.unreadable();
    return result;
}

}  // namespace tarvik
