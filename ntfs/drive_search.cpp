#include "ntfs/drive_search.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "disk/chunked_read.h"
#include "ntfs/record_inspection.h"
#include "ntfs/scan_phases.h"
#include "ntfs/scan_state.h"
#include "ntfs/scan_texts.h"

namespace tarvik {

namespace {

constexpr std::size_t kFlagsOffset = 0x16;
// A table entry per record: room for a drive full of them would be absurd; this holds
// the records of a 4 TiB MFT, and keeps every index a 32-bit own number.
constexpr std::size_t kMaxFoundRecords = std::size_t{1} << 32;

bool InsideMft(const std::vector<PlacedRun>& runs, std::uint64_t sector) {
    return std::any_of(runs.begin(), runs.end(), [&](const PlacedRun& run) {
        return !run.sparse && sector >= run.start.value() &&
               sector - run.start.value() < run.lengthSectors;
    });
}

}  // namespace

bool SearchDriveForRecords(ScanState& state, ProgressSink& progress, bool outsideMftOnly) {
    const std::uint64_t driveSectors = state.geometry.sizeInSectors;
    PhaseProgress phase(progress, kPhase1Drive, driveSectors);
    const std::vector<PlacedRun> noRuns;
    const auto& mftRuns = outsideMftOnly ? state.mftMap.runs() : noRuns;
    const std::size_t before = state.foundRecords.size();
    const std::uint32_t normalFilesBefore = state.counters.normalFiles;
    bool stopped = false;
    ReadInChunks(*state.source, driveSectors,
                 [&](DriveSector first, const std::uint8_t* chunk, bool readable) {
                     if (state.StopRequested()) {
                         stopped = true;
                         return false;
                     }
                     if (phase.At(first.value())) {
                         progress.SetText(kSlotNormalFiles,
                                          std::to_string(state.counters.normalFiles));
                     }
                     if (!readable) return true;
                     for (std::uint32_t s = 0; s < kSearchChunkSectors; ++s) {
                         const std::uint8_t* sector = chunk + s * 512;
                         if (std::memcmp(sector, "FILE", 4) != 0) continue;
                         const std::uint64_t at = first.value() + s;
                         if (outsideMftOnly && InsideMft(mftRuns, at)) continue;
                         if (state.foundRecords.size() >= kMaxFoundRecords) break;
                         if (sector[kFlagsOffset] == 1) ++state.counters.normalFiles;
                         state.foundRecords.push_back(DriveSector(at));
                     }
                     return true;
                 });
    if (stopped) {
        state.foundRecords.resize(before);
        state.counters.normalFiles = normalFilesBefore;
    }
    progress.SetText(kSlotNormalFiles, std::to_string(state.counters.normalFiles));
    return state.foundRecords.size() > before;
}

void CatalogueFoundRecords(ScanState& state, ProgressSink& progress, std::size_t firstIndex,
                           const char* phaseText) {
    const std::size_t count = state.foundRecords.size();
    PhaseProgress phase(progress, phaseText, count > firstIndex ? count - firstIndex : 0);
    RecordBuffer bytes;
    const auto showDeleted = [&] {
        progress.SetText(kSlotDeletedFiles, std::to_string(state.counters.deletedFiles));
    };
    for (std::size_t i = firstIndex; i < count && !state.StopRequested(); ++i) {
        if (phase.At(i - firstIndex)) showDeleted();
        if (!state.ReadRecordAt(state.foundRecords[i], bytes)) continue;
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
            ++state.counters.deletedFiles;
        }
        if (i == 5 || i == 1) continue;
        state.catalogue.Append(entry);
    }
    showDeleted();
}

void ScanWithoutMft(ScanState& state, ProgressSink& progress, Notifier& notifier) {
    state.foundRecords.clear();
    if (!SearchDriveForRecords(state, progress, false)) {
        if (!state.StopRequested()) {
            notifier.Notify(kFatDriveText, kInvalidDriveCaption, NoticeIcon::Warning);
        }
        return;
    }
    CatalogueFoundRecords(state, progress, 0, kPhase2Drive);
    RunLostFilesPhase(state, progress, 0);
}

bool RunAdvanceSearch(ScanState& state, ProgressSink& progress) {
    // Entry i of the table is MFT record i, exactly as the normal scan numbered it (a
    // record split over runs included); the search's hits follow them.
    state.foundRecords.clear();
    const std::uint64_t records = state.mftMap.recordCount();
    for (std::uint64_t k = 0; k < records; ++k) {
        const auto place = state.mftMap.Locate(RecordNumber(k));
        state.foundRecords.push_back(place ? place->first() : DriveSector(0));
    }
    const std::size_t n = state.foundRecords.size();
    if (!SearchDriveForRecords(state, progress, true)) {
        state.foundRecords.clear();
        return false;
    }
    const std::size_t before = state.catalogue.Count();
    CatalogueFoundRecords(state, progress, n, kPhase2Disk);
    RunLostFilesPhase(state, progress, before);
    return true;
}

}  // namespace tarvik
