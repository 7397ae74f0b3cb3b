#include "ntfs/scan_phases.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "ntfs/directory_reader.h"
#include "ntfs/drive_search.h"
#include "ntfs/file_record.h"
#include "ntfs/mft_record_stream.h"
#include "ntfs/number_confirmation.h"
#include "ntfs/record_inspection.h"
#include "ntfs/scan_engine.h"
#include "ntfs/scan_texts.h"

namespace tarvik {

namespace {

constexpr std::uint32_t kMirrorRecord = 1;
constexpr std::uint32_t kMftRecord = 0;

std::uint32_t Low32(std::uint64_t value) {
    return static_cast<std::uint32_t>(value);
}

void ShowCounter(ProgressSink& progress, int slot, std::uint32_t value) {
    progress.SetText(slot, std::to_string(value));
}

// The root and the MFT mirror are counted but never stored.
bool IsStoredNumber(std::uint32_t number) {
    return number != kRootFolderNumber && number != kMirrorRecord && number != kMftRecord;
}

class NormalScan {
  public:
    NormalScan(ScanEngine& engine, ProgressSink& progress) : engine_(engine), progress_(progress) {}

    void Run(Notifier& notifier);

  private:
    bool ReadDirectory(std::uint32_t number);
    void CatalogueIndexEntry(const IndexedName& entry);
    void TreeWalk();
    enum class RecordWalkKind { InUse, Deleted };
    void RecordWalk(RecordWalkKind kind);
    void CatalogueRecord(RecordWalkKind kind, std::uint64_t k, const InspectedRecord& record);
    void AddDirectoryId(std::uint32_t number) { engine_.directoryIds.Append(number); }
    // The header alone tells an in-use record the folder tree already catalogued; most
    // records of a healthy volume are such, and need no further decoding.
    bool IsReachedInUseRecord(const MftRecordBytes& bytes, std::uint64_t k) const {
        const auto header = FileRecordHeader::Parse(ByteView(bytes.data(), bytes.size()));
        return header && header->inUse() && reached_.contains(Low32(k));
    }

    ScanEngine& engine_;
    ProgressSink& progress_;
    // Records the folder tree reached (the MFT's own record counts as reached), so the
    // record walk can take in-use records that no readable index lists.
    std::unordered_set<std::uint32_t> reached_{0};
    std::unordered_set<std::uint32_t> directoriesRead_;
};

void NormalScan::CatalogueIndexEntry(const IndexedName& entry) {
    ScanCounters& counters = engine_.counters;
    CatalogueEntry item{};
    item.SetName(entry.name);
    item.number = entry.number;
    item.parent = entry.parent;
    item.creationTime = entry.creationTime;
    item.compressed = entry.compressed ? 1 : 0;
    if (entry.directory) {
        item.attribute = kAttributeDirectory;
        item.size = 0;
        ++counters.normalDirectories;
        AddDirectoryId(entry.number);
    } else {
        item.attribute = kAttributeFile;
        item.size = Low32(entry.realSize);
        ++counters.normalFiles;
    }
    reached_.insert(entry.number);
    if (IsStoredNumber(entry.number)) engine_.catalogue.Append(item);
}

bool NormalScan::ReadDirectory(std::uint32_t number) {
    const std::size_t before = engine_.catalogue.Count();
    ReadDirectoryIndex(engine_, number,
                       [this](const IndexedName& entry) { CatalogueIndexEntry(entry); });
    return engine_.catalogue.Count() > before;
}

// Breadth first: every folder catalogued is read in turn, once, so a folder structure
// that loops cannot make the walk go on without end.
void NormalScan::TreeWalk() {
    for (std::size_t i = 0; i < engine_.catalogue.Count(); ++i) {
        const CatalogueEntry& entry = engine_.catalogue.At(i);
        if (entry.attribute == kAttributeDirectory) {
            const std::uint32_t number = entry.number;
            if (directoriesRead_.insert(number).second) ReadDirectory(number);
            ShowCounter(progress_, kSlotNormalFiles, engine_.counters.normalFiles);
            ShowCounter(progress_, kSlotNormalDirectories, engine_.counters.normalDirectories);
        }
        progress_.StepIt();
    }
}

void NormalScan::CatalogueRecord(RecordWalkKind kind, std::uint64_t k,
                                 const InspectedRecord& record) {
    ScanCounters& counters = engine_.counters;
    CatalogueEntry item{};
    item.SetName(*record.name);
    item.parent = record.parent;
    item.creationTime = record.creationTime;
    item.size = Low32(record.size);
    const bool deleted = kind == RecordWalkKind::Deleted && !record.inUse();
    item.deleted = deleted ? 1 : 0;
    item.compressed = (!deleted && record.compressed) ? 1 : 0;
    const bool directory = record.isDirectory();
    if (directory) {
        item.attribute = kAttributeDirectory;
        item.size = 0;
        ++(deleted ? counters.deletedDirectories : counters.normalDirectories);
        ShowCounter(progress_, deleted ? kSlotDeletedDirectories : kSlotNormalDirectories,
                    deleted ? counters.deletedDirectories : counters.normalDirectories);
    } else {
        item.attribute = kAttributeFile;
        ++(deleted ? counters.deletedFiles : counters.normalFiles);
        ShowCounter(progress_, deleted ? kSlotDeletedFiles : kSlotNormalFiles,
                    deleted ? counters.deletedFiles : counters.normalFiles);
    }
    // The number counted by position is checked against the record found at it. The
    // record at k is the one just read; its neighbours are read again.
    const auto probe = [&](std::uint64_t n) {
        RecordAtNumber at;
        if (n == k) {
            at.isFileRecord = true;
            at.name = record.name;
            return at;
        }
        MftRecordBytes bytes{};
        if (!engine_.ReadRecord(n, bytes) || !HasFileSignature(bytes)) return at;
        at.isFileRecord = true;
        at.name = RecordName(bytes);
        return at;
    };
    const Confirmation confirmation = ConfirmRecordNumber(k, *record.name, probe);
    const std::uint32_t number = Low32(confirmation.number);
    if (directory) AddDirectoryId(number);
    if (confirmation.result == ConfirmationResult::Dropped) return;
    item.number = number;
    if (!deleted) reached_.insert(number);
    if (IsStoredNumber(number)) engine_.catalogue.Append(item);
}

// Every record of the MFT in number order. The in-use walk takes every in-use base
// record; the deleted walk takes deleted records and also in-use base records that no
// readable folder index listed, so a live file behind a damaged index block is found.
void NormalScan::RecordWalk(RecordWalkKind kind) {
    const std::uint64_t records = engine_.mftMap().recordCount();
    StartScanPhase(progress_, kind == RecordWalkKind::InUse ? kPhase1Mft : kPhase2Mft,
                   kind == RecordWalkKind::InUse ? records - 1 : (records > 10 ? records - 10 : 0));
    MftRecordStream stream(engine_.source(), engine_.mftMap());
    std::uint64_t k = 0;
    MftRecordBytes bytes{};
    bool readable = false;
    while (stream.Next(k, bytes, readable)) {
        progress_.StepIt();
        if (!readable) continue;
        if (kind == RecordWalkKind::Deleted && IsReachedInUseRecord(bytes, k)) continue;
        const auto record = InspectRecord(bytes);
        if (!record || !record->isBase || !record->name) continue;
        const bool take = kind == RecordWalkKind::InUse
                              ? record->inUse()
                              : (!record->inUse() || !reached_.contains(Low32(k)));
        if (!take) continue;
        CatalogueRecord(kind, k, *record);
    }
}

void NormalScan::Run(Notifier& notifier) {
    if (!engine_.LocateMft()) {
        ScanWithoutMft(engine_, progress_, notifier);
        return;
    }
    const std::uint64_t records = engine_.mftMap().recordCount();
    engine_.catalogue.SetCapacity(std::max<std::uint64_t>(records * 4 + 1000, 100000));
    StartScanPhase(progress_, kPhase1Mft, records > 0 ? records - 1 : 0);
    if (ReadDirectory(kRootFolderNumber)) {
        directoriesRead_.insert(kRootFolderNumber);
        TreeWalk();
    } else {
        RecordWalk(RecordWalkKind::InUse);
    }
    RecordWalk(RecordWalkKind::Deleted);
    RunLostFilesPhase(engine_, progress_, 0);
}

}  // namespace

void StartScanPhase(ProgressSink& progress, const char* text, std::uint64_t maximum) {
    progress.SetText(kSlotPhase, text);
    progress.SetRange(0, static_cast<std::uint32_t>(std::min<std::uint64_t>(maximum, 0xFFFFFFFFu)));
    progress.SetPosition(0);
    progress.SetStep(1);
}

void RunNormalScan(ScanEngine& engine, ProgressSink& progress, Notifier& notifier) {
    NormalScan(engine, progress).Run(notifier);
}

void RunHousekeeping(ScanEngine& engine, ProgressSink& progress) {
    StartScanPhase(progress, kPhase4, 2 * static_cast<std::uint64_t>(engine.catalogue.Count()));
    engine.folderTable = BuildFolderTable(engine.catalogue, &progress);
    engine.totalSize = engine.folderTable.TotalSize();
}

}  // namespace tarvik
