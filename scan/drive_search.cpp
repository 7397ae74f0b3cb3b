#include "scan/drive_search.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "disk/chunked_read.h"
#include "ntfs/attribute.h"
#include "ntfs/boot_sector.h"
#include "ntfs/listed_attributes.h"
#include "ntfs/record_inspection.h"
#include "scan/found_tree.h"
#include "scan/scan_phases.h"
#include "scan/scan_state.h"
#include "scan/scan_texts.h"

namespace tarvik {

namespace {

constexpr std::size_t kFlagsOffset = 0x16;
// Boot sectors of other volumes worth keeping: a few volumes' copies.
constexpr std::size_t kMaxBootSectors = 64;
// The mirror holds copies of the MFT's first four records.
constexpr std::uint64_t kMirrorRecords = 4;
// A table entry per record: room for a drive full of them would be absurd; this holds
// the records of a 4 TiB MFT, and keeps every index a 32-bit own number.
constexpr std::size_t kMaxFoundRecords = std::size_t{1} << 32;

std::uint32_t Low32(std::uint64_t value) {
    return static_cast<std::uint32_t>(value);
}

bool InsideRuns(const std::vector<PlacedRun>& runs, std::uint64_t sector) {
    return std::any_of(runs.begin(), runs.end(), [&](const PlacedRun& run) {
        return !run.sparse && sector >= run.start.value() &&
               sector - run.start.value() < run.lengthSectors;
    });
}

// An older volume's boot sector tells its cluster size and where it began. The live
// volume's own copies (same serial, same cluster size and MFT place) are passed over.
// The serial alone does not tell them apart: formatting twice within a second, or a
// clone, gives two volumes the same serial.
void NoteBootSector(ScanState& state, std::uint64_t at, const std::uint8_t* sector) {
    if (std::memcmp(sector + NtfsBootSector::kOemOffset, "NTFS    ", 8) != 0) return;
    const auto boot = NtfsBootSector::Parse(ByteView(sector, NtfsBootSector::kSize));
    if (!boot || !boot->HasEndSignature() || !boot->IsPlausibleVolume()) return;
    const auto units = boot->UnitsPerCluster();
    const auto size = boot->VolumeUnits();
    if (!units || !size || state.foundBootSectors.size() >= kMaxBootSectors) return;
    const std::uint64_t liveMft = state.geometry.mftStart.value();
    const bool liveLayout = *units == state.geometry.sectorsPerCluster && liveMft % *units == 0 &&
                            boot->mftCluster() == liveMft / *units;
    if (boot->serial() == state.volumeSerial && liveLayout) return;
    state.foundBootSectors.push_back(
        FoundBootSector{DriveSector(at), *units, *size, boot->mftCluster()});
}

// A found record to catalogue, and the volume it belongs to.
struct FoundEntry {
    std::size_t index = 0;
    std::uint8_t volume = kLiveVolume;
    InspectedRecord record;
};

// The live volume's mirror keeps copies of the MFT's first records.
bool InMirrorCopies(const ScanState& state, DriveSector sector) {
    if (!state.mirrorRecordSector) return false;
    const std::uint64_t mirror = state.mirrorRecordSector->value();
    const std::uint64_t at = sector.value();
    return at >= mirror && at - mirror < kMirrorRecords * std::uint64_t{state.recordSectors()};
}

// In the advance search every record outside the MFT is an older volume's, but for the
// copy of the first records the live volume keeps in its mirror.
// Without the live MFT, a record is an older volume's only when it lies in the MFT of a
// volume whose boot sector the search met, at the place its number says.
std::uint8_t VolumeAt(const ScanState& state, DriveSector sector, bool liveHasMft,
                      std::optional<std::uint64_t> recordAnchor,
                      const std::vector<std::uint64_t>& olderMftStarts) {
    if (!liveHasMft) {
        const bool older = recordAnchor && std::find(olderMftStarts.begin(), olderMftStarts.end(),
                                                     *recordAnchor) != olderMftStarts.end();
        return older ? kOlderVolume : kLiveVolume;
    }
    return InMirrorCopies(state, sector) ? kLiveVolume : kOlderVolume;
}

// The live volume's files that hold copies of its records: $MFTMirr (the first records)
// and $LogFile (records as they were logged). A record found in them is a copy of one
// the MFT holds, or held, never an entry of its own. Their records are read through the
// MFT, or without one, taken from the records found.
struct CopyHolder {
    std::uint32_t number;
    const char* name;
};
constexpr CopyHolder kCopyHolders[] = {{1, "$MFTMirr"}, {2, "$LogFile"}};

bool ReadCopyHolder(ScanState& state, const std::vector<FoundEntry>& found,
                    const CopyHolder& holder, RecordBuffer& bytes) {
    if (state.mftMap.recordCount() != 0)
        return state.ReadRecord(RecordNumber(holder.number), bytes);
    for (const FoundEntry& f : found) {
        const FoundRecordOrigin& origin = state.foundOrigins[f.index];
        if (origin.volume == kLiveVolume && origin.numbered && origin.number == holder.number &&
            *f.record.name == holder.name) {
            return state.ReadRecordAt(state.foundRecords[f.index], bytes);
        }
    }
    return false;
}

std::vector<PlacedRun> RecordCopyAreas(ScanState& state, const std::vector<FoundEntry>& found) {
    std::vector<PlacedRun> areas;
    const std::uint32_t clusterSectors = state.geometry.sectorsPerCluster;
    RecordBuffer bytes;
    for (const CopyHolder& holder : kCopyHolders) {
        if (!ReadCopyHolder(state, found, holder, bytes) || !PrepareFileRecord(bytes)) continue;
        const auto data = FindAttribute(ByteView(bytes), attribute_type::kData);
        if (!data || data->isResident()) continue;
        for (const DataRun& run : DecodeRuns(data->RunList()).runs) {
            const auto start = ClusterStart(run.lcn, clusterSectors);
            if (run.sparse || !start || run.lengthClusters > UINT64_MAX / clusterSectors) continue;
            areas.push_back(PlacedRun{*start, run.lengthClusters * clusterSectors, false});
        }
    }
    return areas;
}

// What tells two found records apart as entries: the volume, the number the record stores,
// its name, and which use of the record it shows: freeing a record advances its sequence,
// so a record in use with sequence s and a freed one with s + 1 show the same file. Two
// records alike in all of them are copies of one file (the freed one its later state).
std::string CopyKey(const FoundRecordOrigin& origin, const std::string& name) {
    const auto use =
        static_cast<std::uint16_t>(origin.inUse ? origin.sequence : origin.sequence - 1);
    return std::to_string(origin.volume) + ':' + std::to_string(origin.number) + ':' +
           std::to_string(use) + ':' + name;
}

// Without the MFT, where the boot sector puts it: the record found at its own number's
// place there is the MFT's, and any other of the same file a copy.
bool AtMftPlace(const ScanState& state, const FoundEntry& found) {
    const FoundRecordOrigin& origin = state.foundOrigins[found.index];
    return state.mftMap.recordCount() == 0 && origin.volume == kLiveVolume && origin.numbered &&
           state.foundRecords[found.index].value() ==
               state.geometry.mftStart.value() +
                   std::uint64_t{origin.number} * state.recordSectors();
}

// A found record that is a copy of an MFT record the scan catalogued: the same number, a
// name of an entry of that number, and the same file: the MFT record has the copy's
// sequence, or the next one when it was freed since (freeing a record advances its
// sequence). A record of that number from before it was reused for another file is an
// entry of its own. A record taken for another volume's (a snapshot's store keeps copies
// of this volume's records) is a copy only when it was also created at the same instant:
// a volume formatted over numbers its own files alike.
bool CopiesCatalogued(ScanState& state, const FoundEntry& found, const FoundRecordOrigin& origin) {
    if (!origin.numbered || origin.number >= state.mftMap.recordCount()) return false;
    bool named = false;
    for (const std::size_t index : state.catalogue.WithNumber(origin.number)) {
        const CatalogueEntry& entry = state.catalogue.At(index);
        named = named || (!entry.IsMadeUp() && entry.Name() == *found.record.name);
    }
    if (!named) return false;
    RecordBuffer bytes;
    const bool live = origin.volume == kLiveVolume;
    if (!state.ReadRecord(RecordNumber(origin.number), bytes) || !PrepareFileRecord(bytes))
        return live;
    const auto header = FileRecordHeader::Parse(ByteView(bytes));
    if (!header) return live;
    const std::uint16_t sequence = header->sequenceNumber;
    const bool sameFile =
        sequence == origin.sequence ||
        (!header->inUse() && sequence == static_cast<std::uint16_t>(origin.sequence + 1));
    if (!sameFile || live) return sameFile;
    const auto record = InspectPreparedRecord(bytes);
    return record && record->creationTime != 0 && record->creationTime == found.record.creationTime;
}

// Each record the search found once: a record inside $LogFile or, with the MFT read,
// $MFTMirr, and a copy of a record the scan catalogued from the MFT are left out, and of
// records alike (CopyKey) the one at its place in the MFT is kept, else the freed one, else
// the first.
std::vector<FoundEntry> WithoutCopies(ScanState& state, std::vector<FoundEntry> found) {
    const std::vector<PlacedRun> copyAreas = RecordCopyAreas(state, found);
    const bool liveHasMft = state.mftMap.recordCount() != 0;
    std::vector<FoundEntry> kept;
    kept.reserve(found.size());
    std::unordered_map<std::string, std::size_t> taken;
    for (FoundEntry& f : found) {
        const FoundRecordOrigin& origin = state.foundOrigins[f.index];
        const DriveSector at = state.foundRecords[f.index];
        // Without the MFT, the mirror's copies are the first records' only copies left
        // when the MFT's own are lost: they are weighed as copies below instead.
        if (InsideRuns(copyAreas, at.value()) && (liveHasMft || !InMirrorCopies(state, at)))
            continue;
        if (CopiesCatalogued(state, f, origin)) continue;
        if (!origin.numbered) {
            kept.push_back(std::move(f));
            continue;
        }
        const auto [slot, added] = taken.try_emplace(CopyKey(origin, *f.record.name), kept.size());
        if (added) {
            kept.push_back(std::move(f));
            continue;
        }
        FoundEntry& first = kept[slot->second];
        const bool placed = AtMftPlace(state, f);
        const bool firstPlaced = AtMftPlace(state, first);
        if (placed != firstPlaced ? placed : (!f.record.inUse() && first.record.inUse()))
            first = std::move(f);
    }
    return kept;
}

// Keeps a found base record with a name to catalogue. Own number 5 would be read as the
// root's, and an own number an entry already has (the lost-folder root of the scan
// before) would be shared: such a record is given a number past the table's end.
void TakeFoundEntry(const ScanState& state, FoundEntry&& f, std::vector<FoundEntry>& found,
                    std::vector<FoundEntry>& renumbered) {
    if (!f.record.name) return;
    if (*f.record.name == ".") return;  // a root: the tree's own root stands for it
    if (f.index == kRootFolderNumber || state.catalogue.FirstWithNumber(Low32(f.index))) {
        renumbered.push_back(std::move(f));
        return;
    }
    found.push_back(std::move(f));
}

// The name and data sizes a found record keeps in extension records, which are found by
// the numbers they store on the record's volume (see ScanState::ReadRecordBeside).
void TakeFoundExtensions(ScanState& state, FoundEntry& f) {
    RecordBuffer bytes;
    if (!state.ReadRecordAt(state.foundRecords[f.index], bytes) || !PrepareFileRecord(bytes)) {
        return;
    }
    const auto own = static_cast<std::uint32_t>(f.index);
    const RecordFetcher fetch = [&state, own](std::uint32_t number, RecordBuffer& extension) {
        return state.ReadRecordBeside(own, number, extension);
    };
    TakeListedAttributes(f.record, ByteView(bytes), state.MftNumberOf(own), fetch,
                         state.SourceOf(own), state.ClusterSectorsOf(own));
}

}  // namespace

bool SearchDriveForRecords(ScanState& state, ProgressSink& progress, bool outsideMftOnly) {
    // As far as the volume reaches, but never past the disk's end: a boot sector may
    // claim any size, and the sectors past the end cannot hold a record.
    const std::uint64_t driveSectors = state.volumeSectors();
    PhaseProgress phase(progress, kPhase1Drive, driveSectors);
    const std::vector<PlacedRun> noRuns;
    const auto& mftRuns = outsideMftOnly ? state.mftMap.runs() : noRuns;
    const std::size_t before = state.foundRecords.size();
    const std::uint32_t normalFilesBefore = state.counters.normalFiles;
    const std::size_t bootSectorsBefore = state.foundBootSectors.size();
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
                         const std::uint64_t at = first.value() + s;
                         NoteBootSector(state, at, sector);
                         if (std::memcmp(sector, "FILE", 4) != 0) continue;
                         if (outsideMftOnly && InsideRuns(mftRuns, at)) continue;
                         if (state.foundRecords.size() >= kMaxFoundRecords) break;
                         if (sector[kFlagsOffset] == 1) ++state.counters.normalFiles;
                         state.foundRecords.push_back(DriveSector(at));
                     }
                     return true;
                 });
    if (stopped) {
        state.foundRecords.resize(before);
        state.counters.normalFiles = normalFilesBefore;
        state.foundBootSectors.resize(bootSectorsBefore);
    }
    progress.SetText(kSlotNormalFiles, std::to_string(state.counters.normalFiles));
    return state.foundRecords.size() > before;
}

void CatalogueFoundRecords(ScanState& state, ProgressSink& progress, std::size_t firstIndex,
                           const char* phaseText) {
    const std::size_t count = state.foundRecords.size();
    PhaseProgress phase(progress, phaseText, count > firstIndex ? count - firstIndex : 0);
    // With a readable MFT (the advance search) the live volume's entries are numbered by
    // their MFT numbers; without one, only by their index in the table.
    const bool liveByMftNumbers = state.mftMap.recordCount() != 0;
    const auto showCounters = [&] {
        progress.SetText(kSlotDeletedFiles, std::to_string(state.counters.deletedFiles));
        progress.SetText(kSlotDeletedDirectories,
                         std::to_string(state.counters.deletedDirectories));
    };
    state.foundOrigins.resize(count);
    OlderVolumeClues clues;
    std::vector<FoundEntry> found;
    std::vector<FoundEntry> renumbered;
    std::vector<FoundEntry> listed;
    RecordBuffer bytes;
    // Records of NTFS 3.0 (and some that later drivers write) do not store their number:
    // it is taken from their place after the last record that did, or, in the live
    // volume without its MFT, from where the boot sector puts the MFT.
    std::optional<std::uint64_t> anchor;
    if (!liveByMftNumbers) anchor = state.geometry.mftStart.value();
    const std::uint64_t recordSectors = state.recordSectors();
    const std::vector<std::uint64_t> olderMftStarts = OlderMftStarts(state);
    for (std::size_t i = firstIndex; i < count && !state.StopRequested(); ++i) {
        if (phase.At(i - firstIndex)) showCounters();
        if (!state.ReadRecordAt(state.foundRecords[i], bytes)) continue;
        auto record = InspectRecord(bytes);
        if (!record) continue;
        FoundRecordOrigin& origin = state.foundOrigins[i];
        const std::uint64_t at = state.foundRecords[i].value();
        origin.numbered = record->ownNumber.has_value();
        origin.number = record->ownNumber.value_or(0);
        std::optional<std::uint64_t> recordAnchor;
        if (origin.numbered && at >= origin.number * recordSectors) {
            anchor = at - origin.number * recordSectors;
            recordAnchor = anchor;
        } else if (!origin.numbered && anchor && at >= *anchor &&
                   (at - *anchor) % recordSectors == 0 &&
                   (at - *anchor) / recordSectors <= UINT32_MAX) {
            origin.numbered = true;
            origin.number = static_cast<std::uint32_t>((at - *anchor) / recordSectors);
            recordAnchor = anchor;
        }
        origin.volume =
            VolumeAt(state, state.foundRecords[i], liveByMftNumbers, recordAnchor, olderMftStarts);
        origin.sequence = record->sequence;
        origin.inUse = record->inUse();
        if (origin.volume != kLiveVolume) clues.Take(state.foundRecords[i], origin, bytes);
        if (record->flags > 3 || !record->isBase) continue;
        // Its name or data may lie in extension records, found once every record is.
        if (record->hasAttributeList) {
            listed.push_back(FoundEntry{i, origin.volume, std::move(*record)});
            continue;
        }
        TakeFoundEntry(state, FoundEntry{i, origin.volume, std::move(*record)}, found, renumbered);
    }

    if (state.foundVolumes.empty()) {
        state.foundVolumes.push_back(
            FoundVolume{state.geometry.sectorsPerCluster, true, DriveSector(0)});
    }
    state.foundVolumes.resize(std::max<std::size_t>(state.foundVolumes.size(), kOlderVolume + 1));
    if (!clues.empty()) {
        const FoundVolume older = clues.Volume(state);
        if (clues.ShowAnotherVolume(state, older)) {
            state.foundVolumes[kOlderVolume] = older;
        } else {
            // Nothing says these records are not the live volume's (stale copies of its
            // records): they are read and placed as its own, by their MFT numbers.
            for (FoundEntry& f : found) f.volume = kLiveVolume;
            for (std::size_t i = firstIndex; i < state.foundOrigins.size(); ++i) {
                state.foundOrigins[i].volume = kLiveVolume;
            }
        }
    }

    // The extension records of a file's attribute list are found by the numbers the
    // records store; an in-use record goes before a deleted one of the same number.
    for (std::size_t i = firstIndex; i < count; ++i) {
        const FoundRecordOrigin& origin = state.foundOrigins[i];
        if (!origin.numbered) continue;
        const auto [slot, added] = state.foundByNumber.try_emplace(
            (std::uint64_t{origin.volume} << 32) | origin.number, static_cast<std::uint32_t>(i));
        if (!added && origin.inUse && !state.foundOrigins[slot->second].inUse) {
            slot->second = static_cast<std::uint32_t>(i);
        }
    }
    for (FoundEntry& f : listed) {
        f.volume = state.foundOrigins[f.index].volume;
        TakeFoundExtensions(state, f);
        TakeFoundEntry(state, std::move(f), found, renumbered);
    }
    if (!listed.empty()) {
        std::sort(found.begin(), found.end(),
                  [](const FoundEntry& a, const FoundEntry& b) { return a.index < b.index; });
    }
    for (FoundEntry& f : renumbered) {
        while (state.catalogue.FirstWithNumber(Low32(state.foundRecords.size()))) {
            state.foundRecords.push_back(DriveSector(0));
            state.foundOrigins.emplace_back();
        }
        const std::size_t index = state.foundRecords.size();
        state.foundRecords.push_back(state.foundRecords[f.index]);
        state.foundOrigins.push_back(state.foundOrigins[f.index]);
        f.volume = state.foundOrigins[f.index].volume;
        f.index = index;
        found.push_back(std::move(f));
    }
    showCounters();

    found = WithoutCopies(state, std::move(found));

    FoundTree tree(state, liveByMftNumbers);
    for (const FoundEntry& f : found) {
        if (!f.record.isDirectory()) continue;
        const FoundRecordOrigin& origin = state.foundOrigins[f.index];
        if (origin.numbered) {
            tree.AddFolder(f.volume, origin.number, origin.sequence, f.record.inUse(),
                           static_cast<std::uint32_t>(f.index));
        }
    }
    const FoundVolume& older = state.foundVolumes[kOlderVolume];
    for (const FoundEntry& f : found) {
        const InspectedRecord& record = f.record;
        CatalogueEntry entry{};
        entry.SetName(*record.name);
        entry.parent = tree.ParentOf(f.volume, record.parent, record.parentSequence);
        entry.creationTime = record.creationTime;
        entry.modificationTime = record.modificationTime;
        entry.number = static_cast<std::uint32_t>(f.index);
        // A record in use is a live file only while nothing else holds the live volume's
        // files: one of an older volume formatted over, or found outside a readable MFT,
        // is what is left of a file that is gone.
        const bool live = record.inUse() && f.volume == kLiveVolume && !liveByMftNumbers;
        entry.deleted = live ? 0 : 1;
        if (record.isDirectory()) {
            entry.attribute = kAttributeDirectory;
        } else {
            entry.attribute = kAttributeFile;
            entry.size = record.size;
            entry.compressed = record.compressed ? 1 : 0;
        }
        if (!state.catalogue.Append(entry)) break;
        if (!live) {
            ++(record.isDirectory() ? state.counters.deletedDirectories
                                    : state.counters.deletedFiles);
        } else if (record.isDirectory()) {
            ++state.counters.normalDirectories;
        }
        if (record.isDirectory()) state.directoryIds.Append(entry.number);
        if (f.volume != kLiveVolume && !older.verified) ++state.unverifiedEntries;
    }
    state.reservedNumbersEnd = std::max(state.reservedNumbersEnd, tree.numbersEnd());
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
    // Without an MFT the normal scan searched the whole drive already: there is nothing
    // more to find, and taking its records again would list every entry twice.
    if (state.mftMap.recordCount() == 0 && !state.foundOrigins.empty()) return false;
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
