// The recovery's second pass: the files' records read in MFT order, their data in the
// order of its place on the drive.
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "analysis/written_over_probe.h"
#include "common/progress_slot.h"
#include "filedata/file_data_copy.h"
#include "filedata/file_data_map.h"
#include "ntfs/file_record.h"
#include "recovery/fd_outputs.h"
#include "recovery/forward_source.h"
#include "recovery/recovery_writer.h"
#include "recovery/recovery_writer_parts.h"
#include "scan/scan_engine.h"

namespace tarvik {

namespace {

// The stretch of the MFT copied (and its records taken) at a time; the drive reader keeps
// that much of what it read last, and a little more.
constexpr std::uint64_t kMftStretchBytes = 16u << 20;
constexpr std::size_t kKeptBytes = kMftStretchBytes + (4u << 20);

}  // namespace

// The files go in sweeps over the drive. Within a sweep their records are read ahead in
// MFT order, a batch of as many as the engine holds at once, resident files are written
// as their records are mapped, and then the sweep's other files are written in the order
// of their data on the drive: every cluster wanted is read once, front to back. A sweep
// takes up to kFilesPerSweep files, which bounds the data maps held at a time; a recovery
// of fewer files than that reads the drive's data in one sweep. When the MFT's own file
// is among them, its copy and the records come from the same reads (MapAlongMftCopy).
void RecoveryWriter::WriteAll(FolderDescriptors& folders) {
    constexpr std::size_t kFilesPerSweep = std::size_t{1} << 18;
    const Catalogue& catalogue = engine_.catalogue();
    std::vector<std::size_t> order(jobs_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return catalogue.At(jobs_[a].entry).number < catalogue.At(jobs_[b].entry).number;
    });
    const std::size_t recordSize = std::max<std::size_t>(512, engine_.geometry().recordSize);
    const std::size_t batch = std::max<std::size_t>(1, ScanEngine::kRecordsAheadBytes / recordSize);
    ForwardSource data(engine_.source(), kKeptBytes);
    data_ = &data;
    for (std::size_t sweep = 0; sweep < order.size() && !Stopped(); sweep += kFilesPerSweep) {
        const std::size_t sweepEnd = std::min(order.size(), sweep + kFilesPerSweep);
        std::vector<PendingFile> pending;
        std::size_t first = sweep;
        if (sweep == 0) first = MapAlongMftCopy(order, sweepEnd, pending, folders);
        data.Forget();
        for (; first < sweepEnd && !Stopped(); first += batch) {
            MapBatch(order, first, std::min(sweepEnd, first + batch), pending, folders);
            data.Forget();
        }
        if (!Stopped()) WriteInDiskOrder(pending, folders);
        AbandonPending(pending, folders);
        data.Forget();
    }
    PublishFinished(folders);  // files finished before a stop are whole: they keep them
    data_ = nullptr;
}

// Reads the records of order[first, last) ahead and maps each file's data (TakeMap).
void RecoveryWriter::MapBatch(const std::vector<std::size_t>& order, std::size_t first,
                              std::size_t last, std::vector<PendingFile>& pending,
                              FolderDescriptors& folders) {
    const Catalogue& catalogue = engine_.catalogue();
    std::vector<std::uint32_t> numbers;
    for (std::size_t i = first; i < last; ++i) {
        const FileJob& job = jobs_[order[i]];
        const std::uint32_t number = catalogue.At(job.entry).number;
        if (!job.map && (numbers.empty() || numbers.back() != number)) numbers.push_back(number);
    }
    engine_.ReadRecordsAhead(numbers, stop_);
    for (std::size_t i = first; i < last && !Stopped(); ++i) {
        FileJob& job = jobs_[order[i]];
        std::unique_ptr<FileDataMap> map = std::move(job.map);
        if (!map) {
            if (auto found = MapEngineFileData(engine_, catalogue.At(job.entry).number))
                map = std::make_unique<FileDataMap>(std::move(*found));
        }
        TakeMap(order[i], std::move(map), pending, folders);
    }
    engine_.ForgetRecordsAhead();
}

// A file whose data is mapped: resident files (and those of an older volume, or whose
// record cannot be mapped) are written at once, the others join `pending` for the sweep.
void RecoveryWriter::TakeMap(std::size_t jobIndex, std::unique_ptr<FileDataMap> map,
                             std::vector<PendingFile>& pending, FolderDescriptors& folders) {
    FileJob& job = jobs_[jobIndex];
    const CatalogueEntry& entry = engine_.catalogue().At(job.entry);
    const auto spc = engine_.geometry().sectorsPerCluster;
    const std::uint32_t number = entry.number;
    if (const WrittenData* where =
            conditions_ && !entry.IsCarved() ? conditions_->Unprobed(number) : nullptr)
        job.probe = std::make_unique<WrittenOverProbe>(*where);
    // An older volume's file has its own geometry: written whole, apart from the
    // live volume's pieces.
    if (!map || map->resident || !OfLiveVolume(number)) {
        WriteWhole(job, map.get(), folders);
        return;
    }
    auto pieces = PlainPieces(*map, spc, engine_.geometry().sizeInSectors);
    pending.push_back(
        Pending(jobIndex, std::move(map), pieces ? std::move(*pieces) : std::vector<DataPiece>{}));
}

// Whether a record's file lies on the live volume, read with its geometry.
bool RecoveryWriter::OfLiveVolume(std::uint32_t number) {
    return engine_.ClusterSectorsOf(number) == engine_.geometry().sectorsPerCluster &&
           &engine_.SourceOf(number) == &engine_.source();
}

// A file waiting for the sweep to reach its pieces (none: written whole where it starts).
RecoveryWriter::PendingFile RecoveryWriter::Pending(std::size_t jobIndex,
                                                    std::unique_ptr<FileDataMap> map,
                                                    std::vector<DataPiece> pieces) const {
    PendingFile file;
    file.job = jobIndex;
    file.pieces = std::move(pieces);
    file.length =
        CopyLength(*map, engine_.geometry().sectorsPerCluster, engine_.geometry().sizeInSectors);
    file.remaining = file.pieces.size();
    file.map = std::move(map);
    return file;
}

// Files a stop (or a full destination) cut short, held or waiting for their next piece,
// leave no part file behind.
void RecoveryWriter::AbandonPending(std::vector<PendingFile>& pending, FolderDescriptors& folders) {
    for (PendingFile& file : pending) {
        const FileJob& job = jobs_[file.job];
        if (file.done || job.partName.empty()) continue;
        RemovePartFile(folders.Open(job.folder), job);
        if (file.fd >= 0) ::close(file.fd);
        file.fd = -1;
        file.done = true;
    }
}

// The data map of a live MFT record, its bytes taken from what the drive reader kept
// when it holds them (they were read with the MFT's copy), else read as always.
std::unique_ptr<FileDataMap> RecoveryWriter::MapFromKept(std::uint32_t number) {
    RecordBuffer record(engine_.geometry().recordSize);
    const auto place = engine_.MftRecordPlace(number);
    bool held = place.has_value() && !record.empty();
    std::size_t at = 0;
    for (std::size_t i = 0; held && i < place->count; ++i) {
        const std::size_t length = std::size_t{place->pieces[i].sectors} * 512;
        held = at + length <= record.size() &&
               data_->ReadHeld(place->pieces[i].start, std::span(record).subspan(at, length));
        at += length;
    }
    held = held && at == record.size();
    std::optional<FileDataMap> found;
    if (held && PrepareFileRecord(record))
        found = MapEngineFileData(engine_, number, ByteView(record));
    else if (!held)
        found = MapEngineFileData(engine_, number);
    return found ? std::make_unique<FileDataMap>(std::move(*found)) : nullptr;
}

// The MFT's own file, when it is the first file of the sweep: a plain file of the live
// volume. Its map comes from record 0, read through the drive reader so that the copy
// reads on from it. Nothing when it is not such a file.
std::optional<RecoveryWriter::PendingFile> RecoveryWriter::MftFileToCopy(std::size_t jobIndex) {
    const FileJob& job = jobs_[jobIndex];
    const CatalogueEntry& entry = engine_.catalogue().At(job.entry);
    const auto spc = engine_.geometry().sectorsPerCluster;
    if (entry.number != 0 || entry.IsCarved() || job.map || engine_.mftRecordCount() == 0 ||
        !OfLiveVolume(0) || (conditions_ != nullptr && conditions_->Unprobed(0) != nullptr))
        return std::nullopt;
    const auto place = engine_.MftRecordPlace(0);
    RecordBuffer record(engine_.geometry().recordSize);
    if (!place || place->count != 1 || record.empty() ||
        std::size_t{place->pieces[0].sectors} * 512 != record.size() ||
        !data_->Read(place->pieces[0].start, record))
        return std::nullopt;
    std::unique_ptr<FileDataMap> map = MapFromKept(0);
    if (!map || map->resident) return std::nullopt;
    const auto volume = engine_.geometry().sizeInSectors;
    auto pieces = PlainPieces(*map, spc, volume);
    if (!pieces || pieces->empty()) return std::nullopt;
    PendingFile file = Pending(jobIndex, std::move(map), std::move(*pieces));
    file.copiedAlong = true;
    return file;
}

// The MFT's own file copied a stretch at a time, and after each stretch the files whose
// records lie in it mapped from the bytes just read: the MFT is read once for both.
// Returns where in `order` the files not yet mapped begin (all but the first when the
// MFT's file is not copied along).
std::size_t RecoveryWriter::MapAlongMftCopy(const std::vector<std::size_t>& order, std::size_t end,
                                            std::vector<PendingFile>& pending,
                                            FolderDescriptors& folders) {
    if (order.empty() || end == 0) return 0;
    std::optional<PendingFile> mft = MftFileToCopy(order[0]);
    if (!mft) return 0;
    FileJob& job = jobs_[order[0]];
    mft->fd = CreateFile(job, folders);
    if (mft->fd < 0) return 1;
    const std::size_t self = pending.size();
    pending.push_back(std::move(*mft));
    const Catalogue& catalogue = engine_.catalogue();
    const std::uint32_t spc = engine_.geometry().sectorsPerCluster;
    const std::uint64_t clusterBytes = std::uint64_t{spc} * 512;
    const std::uint64_t recordSize = engine_.geometry().recordSize;
    const std::uint64_t stretch = std::max<std::uint64_t>(1, kMftStretchBytes / clusterBytes);
    CopyOptions options{nullptr, stop_, maxRequestBytes_};
    options.volumeSectors = engine_.geometry().sizeInSectors;
    std::size_t next = 1;
    for (std::size_t p = 0; p < pending[self].pieces.size(); ++p) {
        const DataPiece piece = pending[self].pieces[p];
        for (std::uint64_t done = 0; done < piece.clusters; done += stretch) {
            if (Stopped()) return next;
            const DataPiece part{DriveSector(piece.sector.value() + done * spc),
                                 piece.offset + done * clusterBytes,
                                 std::min(stretch, piece.clusters - done)};
            if (!CopyMftStretch(pending[self], part, options, folders)) return next;
            // The files whose records the stretch holds whole.
            const std::uint64_t stretchEnd = part.offset + part.clusters * clusterBytes;
            while (next < end && !Stopped()) {
                const std::uint32_t number = catalogue.At(jobs_[order[next]].entry).number;
                if ((std::uint64_t{number} + 1) * recordSize > stretchEnd) break;
                std::unique_ptr<FileDataMap> map = std::move(jobs_[order[next]].map);
                if (!map) map = MapFromKept(number);
                TakeMap(order[next++], std::move(map), pending, folders);
            }
        }
    }
    return next;
}

// Copies one stretch of the MFT's file: false when that ends its copy (a stop, or a
// write that failed: the file then counts as failed).
bool RecoveryWriter::CopyMftStretch(PendingFile& file, const DataPiece& part,
                                    const CopyOptions& options, FolderDescriptors& folders) {
    FileJob& job = jobs_[file.job];
    progress_.SetText(kSlotSavingText, FilePath(job));
    progress_.SetRange(file.writtenSectors, (file.length + 511) / 512);
    progress_.SetPosition(file.writtenSectors);
    PwriteOutput output(file.fd);
    const CopyResult copy =
        CopyPiece(part, file.length, *data_, engine_.geometry().sectorsPerCluster, output, options,
                  [&](std::uint64_t bytes) {
                      file.writtenSectors += (bytes + 511) / 512;
                      progress_.SetPosition(file.writtenSectors);
                  });
    result_.unreadableSectors += copy.unreadableSectors;
    job.unreadableSectors += copy.unreadableSectors;
    if (copy.stopped) return false;
    if (copy.writeFailed) {
        ::close(std::exchange(file.fd, -1));
        file.done = true;
        FileFailed(folders.Open(job.folder), job, output.error());
        return false;
    }
    return true;
}

}  // namespace tarvik
