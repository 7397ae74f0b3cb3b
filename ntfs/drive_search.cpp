#include "ntfs/drive_search.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "disk/chunked_read.h"
#include "ntfs/record_inspection.h"
#include "ntfs/scan_engine.h"
#include "ntfs/scan_phases.h"
#include "ntfs/scan_texts.h"

namespace tarvik {

namespace {

constexpr std::size_t kFlagsOffset = 0x16;
// A table entry per record: room for a drive full of them would be absurd; this holds
// the records of a 4 TiB MFT.
constexpr std::size_t kMaxSectorTableEntries = std::size_t{1} << 32;

// The MFT's runs as absolute sector ranges, for the inside-the-MFT test.
std::vector<std::pair<std::uint64_t, std::uint64_t>> MftRanges(const ScanEngine& engine) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (const PlacedRun& run : engine.mftMap().runs()) {
        const std::uint64_t begin = engine.firstSector + run.startSector;
        ranges.emplace_back(begin, begin + run.lengthSectors);
    }
    return ranges;
}

bool InsideMft(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges,
               std::uint64_t sector) {
    return std::any_of(ranges.begin(), ranges.end(), [&](const auto& range) {
        return sector >= range.first && sector < range.second;
    });
}

}  // namespace

bool SearchDriveForRecords(ScanEngine& engine, ProgressSink& progress, bool outsideMftOnly) {
    const std::uint64_t driveSectors = engine.lastSector - engine.firstSector + std::uint64_t{1};
    StartScanPhase(progress, kPhase1Drive, driveSectors / kSearchChunkSectors);
    const auto ranges = outsideMftOnly ? MftRanges(engine) : decltype(MftRanges(engine)){};
    const std::size_t before = engine.mftSectorTable.size();
    ReadInChunks(engine.source(), driveSectors,
                 [&](std::uint64_t d, const std::uint8_t* chunk, bool readable) {
                     progress.StepIt();
                     if (!readable) return true;
                     for (std::uint32_t s = 0; s < kSearchChunkSectors; ++s) {
                         const std::uint8_t* sector = chunk + s * 512;
                         if (std::memcmp(sector, "FILE", 4) != 0) continue;
                         const std::uint64_t absolute = engine.firstSector + d + s;
                         if (absolute > 0xFFFFFFFFu) continue;
                         if (outsideMftOnly && InsideMft(ranges, absolute)) continue;
                         if (engine.mftSectorTable.size() >= kMaxSectorTableEntries) break;
                         if (sector[kFlagsOffset] == 1) {
                             ++engine.counters.normalFiles;
                             progress.SetText(kSlotNormalFiles,
                                              std::to_string(engine.counters.normalFiles));
                         }
                         engine.mftSectorTable.push_back(static_cast<std::uint32_t>(absolute));
                     }
                     return true;
                 });
    return engine.mftSectorTable.size() > before;
}

void CatalogueSectorTable(ScanEngine& engine, ProgressSink& progress, std::size_t firstIndex,
                          const char* phaseText) {
    const std::size_t count = engine.mftSectorTable.size();
    StartScanPhase(progress, phaseText, count > firstIndex ? count - firstIndex : 0);
    MftRecordBytes bytes{};
    for (std::size_t i = firstIndex; i < count; ++i) {
        progress.StepIt();
        const std::uint32_t sector = engine.mftSectorTable[i];
        if (sector < engine.firstSector) continue;
        if (!engine.source().Read(sector - engine.firstSector, bytes)) continue;
        const auto record = InspectRecord(bytes);
        // Files only, whole in their own record: an attribute list names its extension
        // records by MFT numbers that a record found by position cannot be matched to.
        if (!record || record->flags > 1 || record->hasAttributeList || !record->name) continue;
        if (*record->name == ".") continue;
        CatalogueEntry entry{};
        entry.SetName(*record->name);
        entry.attribute = kAttributeFile;
        entry.parent = record->parent;
        entry.creationTime = record->creationTime;
        entry.size = static_cast<std::uint32_t>(record->size);
        entry.number = static_cast<std::uint32_t>(i);
        entry.compressed = record->compressed ? 1 : 0;
        if (!record->inUse()) {
            entry.deleted = 1;
            ++engine.counters.deletedFiles;
            progress.SetText(kSlotDeletedFiles, std::to_string(engine.counters.deletedFiles));
        }
        if (i == 5 || i == 1) continue;
        engine.catalogue.Append(entry);
    }
}

void ScanWithoutMft(ScanEngine& engine, ProgressSink& progress, Notifier& notifier) {
    engine.mftRuns.Clear();
    engine.mftSectorTable.clear();
    if (!SearchDriveForRecords(engine, progress, false)) {
        notifier.Notify(kFatDriveText, kInvalidDriveCaption, NoticeIcon::Warning);
        return;
    }
    CatalogueSectorTable(engine, progress, 0, kPhase2Drive);
    RunLostFilesPhase(engine, progress, 0);
}

bool RunAdvanceSearch(ScanEngine& engine, ProgressSink& progress) {
    // Entry i of the table is MFT record i, exactly as the normal scan numbered it (a
    // record split over two runs included); the search's hits follow them.
    engine.mftSectorTable.clear();
    const std::uint64_t records = engine.mftMap().recordCount();
    for (std::uint64_t k = 0; k < records; ++k) {
        const auto place = engine.mftMap().Locate(k);
        engine.mftSectorTable.push_back(
            static_cast<std::uint32_t>(engine.firstSector + (place ? place->firstSector : 0)));
    }
    const std::size_t n = engine.mftSectorTable.size();
    if (!SearchDriveForRecords(engine, progress, true)) {
        engine.mftSectorTable.clear();
        return false;
    }
    const std::size_t before = engine.catalogue.Count();
    CatalogueSectorTable(engine, progress, n, kPhase2Disk);
    RunLostFilesPhase(engine, progress, before);
    return true;
}

}  // namespace tarvik
