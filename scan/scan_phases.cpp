#include "scan/scan_phases.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/file_record.h"
#include "ntfs/listed_attributes.h"
#include "ntfs/record_inspection.h"
#include "scan/directory_reader.h"
#include "scan/drive_search.h"
#include "scan/entry_counts.h"
#include "scan/mft_batch_reader.h"
#include "scan/number_confirmation.h"
#include "scan/read_ahead.h"
#include "scan/record_facts.h"
#include "scan/record_number_set.h"
#include "scan/scan_state.h"
#include "scan/scan_texts.h"

namespace tarvik {

namespace {

constexpr std::uint32_t kMftRecord = 0;
// Records below this are the volume's own, in use without a name on a healthy volume.
constexpr std::uint64_t kFirstUserRecord = 24;
constexpr std::uint16_t kInUseFlag = 0x01;

std::uint32_t Low32(std::uint64_t value) {
    return static_cast<std::uint32_t>(value);
}

void ShowCounter(ProgressSink& progress, int slot, std::uint32_t value) {
    progress.SetText(slot, std::to_string(value));
}

void ShowScanCounters(ProgressSink& progress, const ScanCounters& counters) {
    ShowCounter(progress, kSlotNormalFiles, counters.normalFiles);
    ShowCounter(progress, kSlotNormalDirectories, counters.normalDirectories);
    ShowCounter(progress, kSlotDeletedFiles, counters.deletedFiles);
    ShowCounter(progress, kSlotDeletedDirectories, counters.deletedDirectories);
}

void ShowAllCounters(ProgressSink& progress, const ScanCounters& counters) {
    ShowScanCounters(progress, counters);
    ShowCounter(progress, kSlotLostFiles, counters.lostFiles);
    ShowCounter(progress, kSlotLostDirectories, counters.lostDirectories);
}

// The root is the tree's own top, never an entry of its own (its index lists it as ".").
// $MFT and $MFTMirr are files like any other, listed and recoverable.
// An entry's times, size, kind and state as its own record gives them, counted among the
// scan's normal or deleted files or folders.
void TakeRecordFacts(CatalogueEntry& item, const InspectedRecord& record, bool deleted,
                     ScanCounters& counters) {
    item.creationTime = record.creationTime;
    item.modificationTime = record.modificationTime;
    item.size = record.size;
    item.deleted = deleted ? 1 : 0;
    item.compressed = (!deleted && record.compressed) ? 1 : 0;
    if (record.isDirectory()) {
        item.attribute = kAttributeDirectory;
        item.size = 0;
        ++(deleted ? counters.deletedDirectories : counters.normalDirectories);
    } else {
        item.attribute = kAttributeFile;
        ++(deleted ? counters.deletedFiles : counters.normalFiles);
    }
}

// A full catalogue counts what it refuses (RefusedCount); the scan's caller says it.
void KeepEntry(Catalogue& catalogue, const CatalogueEntry& item, std::uint32_t number) {
    if (number != kRootFolderNumber) catalogue.Append(item);  // the root is the catalogue's own
}

class NormalScan {
  public:
    NormalScan(ScanState& state, ProgressSink& progress) : state_(state), progress_(progress) {
        reached_.Insert(kMftRecord);
    }

    void Run(Notifier& notifier);

  private:
    // A named base record as the pass over the MFT found it: what the record walks catalogue from.
    struct NamedRecord {
        std::uint64_t number = 0;
        InspectedRecord record;
        // A record with an attribute list waiting for the pass to end: its bytes, fixed up.
        RecordBuffer bytes;
    };

    void ReadMft();
    void TakeReadRecord(ReadMftRecord& read, std::vector<ObservedExtent>& kept);
    void RunIndexWalks();
    void RunOnePass();
    void TakeRecord(std::uint64_t k, std::span<const std::uint8_t> bytes, InspectedRecord&& record);
    void CatalogueNamedRecord(std::uint64_t k, const InspectedRecord& record);
    void CatalogueLink(std::uint64_t k, const InspectedRecord& record, const std::string& name,
                       std::uint32_t parent, std::uint16_t parentSequence);
    void CatalogueWaitingRecords();
    void NoteDamaged(std::uint64_t k) {
        if (!readIndexes_ && k >= kFirstUserRecord && k <= UINT32_MAX) damaged_.push_back(Low32(k));
    }
    void CatalogueDamagedFromIndexes();
    void TakeExtensions(InspectedRecord& record, std::span<const std::uint8_t> bytes,
                        std::uint64_t k);
    void ReadIndexBlocksAhead();
    std::vector<NamedRecord> ReadInUseRecords(const std::vector<std::uint32_t>& numbers);
    bool ReadDirectory(std::uint32_t number);
    void CatalogueIndexEntry(const IndexedName& entry);
    void TreeWalk(PhaseProgress& phase);
    enum class RecordWalkKind { InUse, Deleted };
    void RecordWalk(RecordWalkKind kind);
    void CatalogueRecord(RecordWalkKind kind, std::uint64_t k, const InspectedRecord& record);
    void AddDirectoryId(std::uint32_t number) { state_.directoryIds.Append(number); }
    void NoteFacts(std::uint64_t k, ByteView bytes, const InspectedRecord& record);
    bool CatalogueStaleIndexEntry(const IndexedName& entry, const RecordFact& fact);
    std::uint32_t ParentOf(std::uint32_t parent, std::uint16_t parentSequence);
    // The header alone tells an in-use record the folder tree already catalogued; most
    // records of a healthy volume are such, and need no further decoding.
    bool IsReachedInUseRecord(const RecordBuffer& bytes, std::uint64_t k) const {
        const auto header = FileRecordHeader::Parse(ByteView(bytes));
        return header && header->inUse() && reached_.Contains(Low32(k));
    }

    ScanState& state_;
    ProgressSink& progress_;
    // Records the folder tree reached (the MFT's own record counts as reached), so the
    // record walk can take in-use records that no readable index lists.
    RecordNumberSet reached_;
    RecordNumberSet directoriesRead_;
    // What the one pass over the MFT leaves for the walks after it.
    std::vector<NamedRecord> deletedRecords_;
    // In-use named base records, by number only: most are reached by the tree walk, and
    // the few a walk still needs are read again.
    std::vector<std::uint32_t> inUseRecords_;
    std::vector<std::uint64_t> unreadableRecords_;
    std::vector<std::uint32_t> folderRecords_;  // in use, in number order
    // Every record's use, sequence, size and time, as the pass over the MFT read them.
    RecordFacts facts_;
    // A parent reference (number and sequence) whose record is now someone else's, and the
    // made-up folder number its children are placed under instead.
    std::map<std::uint64_t, std::uint32_t> staleParents_;
    std::unique_ptr<ReadAheadSource> indexBlocks_;
    // The default scan catalogues each named record from the pass over the MFT itself;
    // only the deeper one walks the folders' indexes.
    const bool readIndexes_ = state_.readIndexes;
    // Records the one pass catalogues after it: one of whose parents lies further on (its
    // facts are not known yet), or one with an attribute list (its extension records may
    // lie further on). Few on most volumes.
    std::vector<NamedRecord> waiting_;
    // Records in use that could not be read or decoded, in number order: the one pass
    // looks for their names in the folders' indexes (the only place left that has them).
    std::vector<std::uint32_t> damaged_;
};

// The MFT is read once, front to back in large requests (a few batches ahead, on a
// second thread when the drive allows). Folder and extension records are kept for the
// tree walk (within the record cache's bound; past it they are read again when the walk
// asks), and deleted named base records as the record walks need them; of in-use ones
// only the number is kept. The state's MFT observer, if any, is shown every record, so
// that nothing else has to read the MFT again. A stop request ends the pass between records.
void NormalScan::ReadMft() {
    const std::uint64_t records = state_.mftMap.recordCount();
    progress_.SetWorkSize({records, records * state_.recordSize()});
    PhaseProgress phase(progress_, kPhase1Mft, records > 0 ? records - 1 : 0);
    MftBatchReader reader(*state_.source, state_.mftMap, readIndexes_,
                          ReadsFromTwoThreads(*state_.source), state_.mftObserver);
    bool whole = true;
    while (std::unique_ptr<MftBatch> batch = whole ? reader.Next() : nullptr) {
        for (ReadMftRecord& read : batch->records) {
            whole = !state_.StopRequested();
            if (!whole) break;
            if (phase.At(read.number) && !readIndexes_)
                ShowScanCounters(progress_, state_.counters);
            TakeReadRecord(read, batch->keptExtents);
        }
        reader.Recycle(std::move(batch));
    }
    if (state_.mftObserver != nullptr)
        state_.mftObserver->PassEnded(whole && !state_.StopRequested());
}

void NormalScan::TakeReadRecord(ReadMftRecord& read, std::vector<ObservedExtent>& kept) {
    const std::uint64_t k = read.number;
    const std::span<std::uint8_t> bytes = read.bytes;
    // A record the MFT's bitmap calls free is not in use, whatever its header says.
    const bool listedInUse = !state_.mftBitmap || state_.mftBitmap->InUse(k);
    if (!read.readable) {
        unreadableRecords_.push_back(k);
        if (listedInUse) NoteDamaged(k);
        return;
    }
    if (const auto& header = read.header; header && k <= UINT32_MAX) {
        // Extension records are kept as stored for the attribute lists that name them,
        // and folders for the walks over their indexes.
        if (read.asStored) state_.recordCache.Keep(Low32(k), bytes);
        if (header->inUse() && listedInUse && header->isDirectory() && !header->isExtension())
            folderRecords_.push_back(Low32(k));
    }
    if (read.asStored) PrepareKeptRecord(read, state_.mftObserver, kept);
    if (read.prepared && state_.mftObserver != nullptr)
        state_.mftObserver->Record(k, bytes, read.observed, read.extents);
    if (!read.inspected) {
        if (listedInUse) NoteDamaged(k);
        return;
    }
    InspectedRecord& record = *read.inspected;
    if (!listedInUse) record.flags &= static_cast<std::uint16_t>(~kInUseFlag);
    // In use, yet no name could be decoded: its attributes are damaged (unless its
    // names lie in extension records, looked at after the pass).
    if (record.inUse() && record.isBase && !record.name && !record.hasAttributeList) NoteDamaged(k);
    TakeRecord(k, bytes, std::move(record));
}

// What the pass over the MFT keeps of one readable record. The walks over the folders'
// indexes keep named records for later; the one pass catalogues them at once, but for
// those that must wait for records further on.
void NormalScan::TakeRecord(std::uint64_t k, std::span<const std::uint8_t> bytes,
                            InspectedRecord&& record) {
    if (readIndexes_) {
        TakeExtensions(record, bytes, k);
        NoteFacts(k, ByteView(bytes), record);
        if (!record.isBase || !record.name) return;
        if (record.inUse() && k <= UINT32_MAX) {
            inUseRecords_.push_back(Low32(k));
        } else {
            deletedRecords_.push_back({k, std::move(record), {}});
        }
        return;
    }
    if (k > UINT32_MAX) return;
    NoteFacts(k, ByteView(bytes), record);
    if (!record.isBase) return;
    if (record.hasAttributeList) {
        waiting_.push_back({k, std::move(record), RecordBuffer(bytes.begin(), bytes.end())});
        return;
    }
    if (!record.name) return;
    bool parentsRead = record.parent < k;
    for (const RecordLink& link : record.otherLinks) parentsRead = parentsRead && link.parent < k;
    if (parentsRead) {
        CatalogueNamedRecord(k, record);
    } else {
        waiting_.push_back({k, std::move(record), {}});
    }
}

// The records that waited for the pass to end, in number order: every fact is known
// now, and every extension record an attribute list names was kept (or is read again).
void NormalScan::CatalogueWaitingRecords() {
    for (NamedRecord& waiting : waiting_) {
        const std::uint64_t k = waiting.number;
        if (!waiting.bytes.empty()) {
            TakeExtensions(waiting.record, waiting.bytes, k);
            NoteFacts(k, ByteView(waiting.bytes), waiting.record);
            RecordBuffer().swap(waiting.bytes);
        }
        if (waiting.record.name) {
            CatalogueNamedRecord(k, waiting.record);
        } else if (waiting.record.inUse()) {
            NoteDamaged(k);
        }
    }
    std::vector<NamedRecord>().swap(waiting_);
    state_.recordCache.Clear();
}

// One entry for each of the record's names but DOS ones (each hard link is listed in its
// own folder), all with the record's own number, size and times.
void NormalScan::CatalogueNamedRecord(std::uint64_t k, const InspectedRecord& record) {
    if (record.isDirectory()) AddDirectoryId(Low32(k));
    CatalogueLink(k, record, *record.name, record.parent, record.parentSequence);
    for (const RecordLink& link : record.otherLinks) {
        if (link.parent == record.parent && link.name == *record.name) continue;
        CatalogueLink(k, record, link.name, link.parent, link.parentSequence);
    }
}

void NormalScan::CatalogueLink(std::uint64_t k, const InspectedRecord& record,
                               const std::string& name, std::uint32_t parent,
                               std::uint16_t parentSequence) {
    CatalogueEntry item{};
    item.SetName(name);
    item.number = Low32(k);
    item.parent = ParentOf(parent, parentSequence);
    TakeRecordFacts(item, record, !record.inUse(), state_.counters);
    KeepEntry(state_.catalogue, item, item.number);
}

// A record with an attribute list may hold its name or its data's sizes in extension
// records only; they are read by their MFT numbers.
void NormalScan::TakeExtensions(InspectedRecord& record, std::span<const std::uint8_t> bytes,
                                std::uint64_t k) {
    if (!record.hasAttributeList || k > UINT32_MAX) return;
    const RecordFetcher fetch = [this](std::uint32_t number, RecordBuffer& extension) {
        return state_.ReadRecord(RecordNumber(number), extension);
    };
    TakeListedAttributes(record, ByteView(bytes), Low32(k), fetch, *state_.source,
                         state_.geometry.sectorsPerCluster);
}

// In-use records a record walk takes after all, read again in number order, a batch at
// a time in large requests.
std::vector<NormalScan::NamedRecord> NormalScan::ReadInUseRecords(
    const std::vector<std::uint32_t>& numbers) {
    constexpr std::size_t kBatch = 16384;
    std::vector<NamedRecord> found;
    RecordBuffer bytes(state_.recordSize());
    for (std::size_t first = 0; first < numbers.size() && !state_.StopRequested();
         first += kBatch) {
        const std::size_t last = std::min(numbers.size(), first + kBatch);
        std::vector<RequestRecorder::Request> requests;
        std::vector<RecordPlace> places;
        for (std::size_t i = first; i < last; ++i) {
            const auto place = state_.mftMap.Locate(RecordNumber(numbers[i]));
            places.push_back(place.value_or(RecordPlace{}));
            for (std::size_t p = 0; place && p < place->count; ++p)
                requests.push_back(
                    {place->pieces[p].start.value(), place->pieces[p].sectors * 512ull});
        }
        ReadAheadSource ahead(*state_.source);
        ahead.Fill(std::move(requests), state_.stop);
        for (std::size_t i = first; i < last; ++i) {
            const RecordPlace& place = places[i - first];
            if (place.count == 0 || !ReadRecordPieces(ahead, place, bytes)) continue;
            auto record = InspectRecord(bytes);
            if (record) TakeExtensions(*record, bytes, numbers[i]);
            if (record && record->isBase && record->name)
                found.push_back({numbers[i], std::move(*record), {}});
        }
    }
    return found;
}

// The INDX blocks of every folder in use, read in one sweep in the order of their place
// on the drive rather than folder by folder. The folder reader is run once over each
// folder with a source that only notes its requests; the sweep then reads exactly those
// requests, and the tree walk's folder reader is served them from memory.
void NormalScan::ReadIndexBlocksAhead() {
    RequestRecorder recorder;
    state_.indexSource = &recorder;
    for (const std::uint32_t number : folderRecords_) {
        if (state_.StopRequested()) break;
        ReadDirectoryIndex(state_, number, [](const IndexedName&) {});
    }
    // Held while the catalogue fills, which takes about 300 bytes a record: the blocks
    // held are kept to well under half of that, and those past it are read when the
    // walk comes to their folder. Each folder is read once, so a block goes as soon as
    // the walk has read it, and the catalogue grows into the room it leaves.
    constexpr std::uint64_t kHeldPerRecord = 128;
    const auto bound = std::clamp<std::uint64_t>(state_.mftMap.recordCount() * kHeldPerRecord,
                                                 8u << 20, ReadAheadSource::kDefaultMaxBytes);
    indexBlocks_ = std::make_unique<ReadAheadSource>(*state_.source);
    indexBlocks_->ServeOnce();
    indexBlocks_->Fill(std::move(recorder.requests()), state_.stop,
                       static_cast<std::size_t>(bound));
    state_.indexSource = indexBlocks_.get();
}

void NormalScan::NoteFacts(std::uint64_t k, ByteView bytes, const InspectedRecord& record) {
    if (k > UINT32_MAX) return;
    if (!record.isBase) {
        // The first piece of the base record's data, when its list put it here.
        if (!record.inUse()) return;
        const auto data = FindAttribute(bytes, attribute_type::kData);
        if (data && !data->isResident() && data->header().startVcn == 0)
            facts_.SetSizeFromExtension(record.baseNumber, data->header().realSize);
        return;
    }
    RecordFact fact;
    fact.inUse = record.inUse();
    fact.directory = record.isDirectory();
    fact.named = record.name.has_value();
    fact.sequence = record.sequence;
    fact.size = record.size;
    fact.creationTime = record.creationTime;
    fact.modificationTime = record.modificationTime;
    // The list, when there is one, gave the size of the data's first piece wherever it is.
    facts_.SetBase(Low32(k), fact, record.hasData || (record.hasAttributeList && record.size != 0));
}

// An index entry whose record was freed, or freed and used again, since the entry was
// written. Its record, when it still has a name, is the deleted entry the record walk
// lists; a freed file record without one is listed from the index entry, as deleted.
// True when the entry was catalogued.
bool NormalScan::CatalogueStaleIndexEntry(const IndexedName& entry, const RecordFact& fact) {
    if (fact.inUse || fact.directory || entry.directory || fact.named) return false;
    CatalogueEntry item{};
    item.SetName(entry.name);
    item.number = entry.number;
    item.parent = entry.parent;
    item.creationTime = fact.creationTime;
    item.modificationTime = fact.modificationTime;
    item.attribute = kAttributeFile;
    item.size = fact.size;
    item.deleted = 1;
    ++state_.counters.deletedFiles;
    KeepEntry(state_.catalogue, item, entry.number);
    return true;
}

void NormalScan::CatalogueIndexEntry(const IndexedName& entry) {
    ScanCounters& counters = state_.counters;
    CatalogueEntry item{};
    item.SetName(entry.name);
    item.number = entry.number;
    item.parent = entry.parent;
    item.creationTime = entry.creationTime;
    item.modificationTime = entry.modificationTime;
    item.size = entry.realSize;
    item.compressed = entry.compressed ? 1 : 0;
    // The record, not the entry, tells the size and times and whether the entry is live.
    // A record that could not be read leaves the entry's own figures.
    if (const auto fact = facts_.Find(entry.number)) {
        if (!fact->inUse || fact->sequence != entry.sequence) {
            if (!fact->named && !reached_.Contains(entry.number) &&
                CatalogueStaleIndexEntry(entry, *fact))
                reached_.Insert(entry.number);
            return;
        }
        // A record in use without a name could not be decoded (its attributes are
        // damaged): its figures are not the file's, and the entry's own tell what is lost.
        if (fact->named) {
            item.creationTime = fact->creationTime;
            item.modificationTime = fact->modificationTime;
            item.size = fact->size;
        }
    }
    if (entry.directory) {
        item.attribute = kAttributeDirectory;
        item.size = 0;
        ++counters.normalDirectories;
        AddDirectoryId(entry.number);
    } else {
        item.attribute = kAttributeFile;
        ++counters.normalFiles;
    }
    reached_.Insert(entry.number);
    KeepEntry(state_.catalogue, item, entry.number);
}

bool NormalScan::ReadDirectory(std::uint32_t number) {
    const std::size_t before = state_.catalogue.Count();
    ReadDirectoryIndex(state_, number,
                       [this](const IndexedName& entry) { CatalogueIndexEntry(entry); });
    return state_.catalogue.Count() > before;
}

// Breadth first: every folder catalogued is read in turn, once, so a folder structure
// that loops cannot make the walk go on without end.
// A stop request ends the walk between folders; each folder read is catalogued whole.
void NormalScan::TreeWalk(PhaseProgress& phase) {
    for (std::size_t i = 0; i < state_.catalogue.Count() && !state_.StopRequested(); ++i) {
        const CatalogueEntry& entry = state_.catalogue.At(i);
        if (entry.attribute == kAttributeDirectory) {
            const std::uint32_t number = entry.number;
            if (directoriesRead_.Insert(number)) ReadDirectory(number);
        }
        if (phase.At(i)) ShowScanCounters(progress_, state_.counters);
    }
    ShowScanCounters(progress_, state_.counters);
}

void NormalScan::CatalogueRecord(RecordWalkKind kind, std::uint64_t k,
                                 const InspectedRecord& record) {
    ScanCounters& counters = state_.counters;
    CatalogueEntry item{};
    item.SetName(*record.name);
    item.parent = ParentOf(record.parent, record.parentSequence);
    const bool deleted = kind == RecordWalkKind::Deleted && !record.inUse();
    TakeRecordFacts(item, record, deleted, counters);
    const bool directory = record.isDirectory();
    // The number counted by position is checked against the record found at it. The
    // record at k is the one just read; its neighbours are read again.
    const auto probe = [&](std::uint64_t n) {
        RecordAtNumber at;
        if (n == k) {
            at.isFileRecord = true;
            at.name = record.name;
            return at;
        }
        RecordBuffer bytes;
        if (!state_.ReadRecord(RecordNumber(n), bytes) || !HasFileSignature(bytes)) return at;
        at.isFileRecord = true;
        at.name = RecordName(bytes);
        return at;
    };
    const Confirmation confirmation = ConfirmRecordNumber(k, *record.name, probe);
    const std::uint32_t number = Low32(confirmation.number);
    if (directory) AddDirectoryId(number);
    if (confirmation.result == ConfirmationResult::Dropped) return;
    item.number = number;
    if (!deleted) reached_.Insert(number);
    KeepEntry(state_.catalogue, item, number);
}

// A record belongs in its parent folder only while that folder's record is the one it
// names: the sequence must match (or be the one before, for a folder deleted since:
// freeing a record moves its sequence on). A parent whose record was reused for another
// file or folder is not this record's parent; its children are gathered under a made-up
// folder of their own instead of being shown inside a stranger.
std::uint32_t NormalScan::ParentOf(std::uint32_t parent, std::uint16_t parentSequence) {
    if (!facts_.Find(parent) || facts_.IsFolderOf(parent, parentSequence)) return parent;
    const std::uint64_t key = (std::uint64_t{parent} << 16) | parentSequence;
    const std::uint32_t next =
        kStaleParentNumbersLast - static_cast<std::uint32_t>(staleParents_.size());
    if (next < kStaleParentNumbersFirst && !staleParents_.contains(key)) return parent;
    return staleParents_.try_emplace(key, next).first->second;
}

// Every record of the MFT in number order, as the pass over the MFT kept it. The in-use
// walk takes every in-use base record; the deleted walk takes deleted records and also
// in-use base records that no readable folder index listed, so a live file behind a
// damaged index block is found. A stop request ends it between records.
void NormalScan::RecordWalk(RecordWalkKind kind) {
    const std::uint64_t records = state_.mftMap.recordCount();
    PhaseProgress phase(
        progress_, kind == RecordWalkKind::InUse ? kPhase1Mft : kPhase2Mft,
        kind == RecordWalkKind::InUse ? records - 1 : (records > 10 ? records - 10 : 0));
    std::vector<std::uint32_t> again;
    for (const std::uint32_t number : inUseRecords_) {
        if (kind == RecordWalkKind::InUse || !reached_.Contains(number)) again.push_back(number);
    }
    std::vector<NamedRecord> walk = ReadInUseRecords(again);
    if (kind == RecordWalkKind::Deleted) {
        const auto middle = static_cast<std::ptrdiff_t>(walk.size());
        walk.insert(walk.end(), std::make_move_iterator(deletedRecords_.begin()),
                    std::make_move_iterator(deletedRecords_.end()));
        std::inplace_merge(
            walk.begin(), walk.begin() + middle, walk.end(),
            [](const NamedRecord& a, const NamedRecord& b) { return a.number < b.number; });
    }
    std::uint64_t walkedTo = records;
    for (const NamedRecord& named : walk) {
        if (state_.StopRequested()) {
            walkedTo = named.number;
            break;
        }
        const std::uint64_t k = named.number;
        if (phase.At(k)) ShowScanCounters(progress_, state_.counters);
        const InspectedRecord& record = named.record;
        const bool take = kind == RecordWalkKind::InUse
                              ? record.inUse()
                              : (!record.inUse() || !reached_.Contains(Low32(k)));
        if (take) CatalogueRecord(kind, k, record);
    }
    if (walkedTo == records && records > 0) phase.At(records - 1);
    const auto unreadable = static_cast<std::uint32_t>(
        std::lower_bound(unreadableRecords_.begin(), unreadableRecords_.end(), walkedTo) -
        unreadableRecords_.begin());
    // Both walks go over every record; the larger count is the one of the fuller walk.
    state_.counters.unreadableRecords = std::max(state_.counters.unreadableRecords, unreadable);
    ShowScanCounters(progress_, state_.counters);
}

void NormalScan::Run(Notifier& notifier) {
    if (!state_.LocateMft()) {
        if (state_.mftObserver != nullptr) state_.mftObserver->PassEnded(false);
        ScanWithoutMft(state_, progress_, notifier);
        return;
    }
    const std::uint64_t records = state_.mftMap.recordCount();
    facts_.Cover(records);
    state_.catalogue.SetCapacity(std::max<std::uint64_t>(records * 4 + 1000, 100000));
    // About one entry per record: set aside at once rather than copied on growing.
    state_.catalogue.Reserve(records + records / 8 + 1000);
    state_.catalogue.ReserveNumbers(Low32(std::min<std::uint64_t>(records, UINT32_MAX)));
    if (readIndexes_) {
        RunIndexWalks();
    } else {
        RunOnePass();
    }
    facts_.Clear();
    RunLostFilesPhase(state_, progress_, 0);
}

// The MFT read once, front to back: every named record is catalogued from what it holds
// itself, each name under the folder its parent reference names. No folder index is
// read, so a name that survives only in an index is not listed.
void NormalScan::RunOnePass() {
    ReadMft();
    // A scan cut short keeps the entries it made in order: those that waited are left out.
    if (!state_.StopRequested()) CatalogueWaitingRecords();
    std::vector<NamedRecord>().swap(waiting_);
    state_.recordCache.Clear();
    if (!state_.StopRequested()) CatalogueDamagedFromIndexes();
    state_.counters.unreadableRecords = static_cast<std::uint32_t>(unreadableRecords_.size());
    ShowScanCounters(progress_, state_.counters);
}

// A file in use whose record is damaged is still named in its folder's index: when the
// pass met such records, every folder's index is read for them (only then: a healthy
// volume costs no read past the MFT), and each is listed once from its index entry, with
// the entry's figures and nothing recoverable.
void NormalScan::CatalogueDamagedFromIndexes() {
    if (damaged_.empty()) return;
    std::sort(damaged_.begin(), damaged_.end());
    reached_.Cover(state_.mftMap.recordCount());
    for (const std::uint32_t folder : folderRecords_) {
        if (state_.StopRequested()) break;
        ReadDirectoryIndex(state_, folder, [this](const IndexedName& entry) {
            if (!std::binary_search(damaged_.begin(), damaged_.end(), entry.number) ||
                reached_.Contains(entry.number))
                return;
            CatalogueIndexEntry(entry);
        });
    }
    std::vector<std::uint32_t>().swap(damaged_);
}

// The deeper scan: the folder tree walked from the root through every folder's index,
// then every record of the MFT for what no index lists.
void NormalScan::RunIndexWalks() {
    const std::uint64_t records = state_.mftMap.recordCount();
    reached_.Cover(records);
    directoriesRead_.Cover(records);
    ReadMft();
    if (!state_.StopRequested()) ReadIndexBlocksAhead();
    PhaseProgress phase(progress_, kPhase1Mft, records > 0 ? records - 1 : 0);
    if (state_.StopRequested()) {
        // Cut short in the pass over the MFT: no walk has what it needs.
    } else if (ReadDirectory(kRootFolderNumber)) {
        directoriesRead_.Insert(kRootFolderNumber);
        TreeWalk(phase);
    } else {
        RecordWalk(RecordWalkKind::InUse);
    }
    state_.indexSource = nullptr;
    indexBlocks_.reset();
    state_.recordCache.Clear();
    if (!state_.StopRequested()) RecordWalk(RecordWalkKind::Deleted);
    deletedRecords_.clear();
    inUseRecords_.clear();
}

// About a thousand moves of the bar per phase.
constexpr std::uint64_t kMovesPerPhase = 1024;

}  // namespace

PhaseProgress::PhaseProgress(ProgressSink& sink, const char* text, std::uint64_t maximum)
    : sink_(sink), stride_(std::max<std::uint64_t>(1, maximum / kMovesPerPhase)) {
    sink_.SetText(kSlotPhase, text);
    sink_.SetRange(0, maximum);
    sink_.SetPosition(0);
    sink_.SetStep(1);
}

bool PhaseProgress::At(std::uint64_t position) {
    if (position < next_) return false;
    sink_.SetPosition(position);
    next_ = position + stride_;
    return true;
}

void RunNormalScan(ScanState& state, ProgressSink& progress, Notifier& notifier) {
    NormalScan(state, progress).Run(notifier);
}

// Building the folder table moves the bar itself, over each entry in two passes. The
// counters the phases kept while they went are then taken again from the catalogue, so
// that what was shown at the end is what the catalogue holds.
void RunHousekeeping(ScanState& state, ProgressSink& progress) {
    PhaseProgress(progress, kPhase4, 2 * static_cast<std::uint64_t>(state.catalogue.Count()));
    state.folderTable = BuildFolderTable(state.catalogue, &progress);
    state.totalSize = state.folderTable.TotalSize();
    const std::uint32_t unreadable = state.counters.unreadableRecords;
    state.counters = CountEntries(state.catalogue);
    state.counters.unreadableRecords = unreadable;
    ShowAllCounters(progress, state.counters);
}

}  // namespace tarvik
