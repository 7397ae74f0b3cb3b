#include "analysis/file_condition.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <utility>

#include "analysis/cluster_claims.h"
#include "analysis/entries_by_number.h"
#include "analysis/mft_facts.h"
#include "analysis/written_over_probe.h"
#include "catalogue/entry_date.h"
#include "disk/disk.h"
#include "disk/disk_geometry.h"
#include "filedata/file_data_copy.h"
#include "filedata/file_data_map.h"
#include "ntfs/attribute.h"
#include "ntfs/file_record.h"
#include "ntfs/standard_information.h"
#include "scan/read_ahead.h"
#include "scan/scan_engine.h"
#include "scan/scan_texts.h"

namespace tarvik {
namespace {

namespace at = attribute_type;

constexpr std::uint32_t kBitmapRecord = 6;
constexpr std::uint32_t kNoTimesSlot = UINT32_MAX;
using UnprobedFile = ConditionTable::UnprobedFile;

constexpr const char* kCheckingText = "Checking what remains of deleted files";

// Which clusters the volume marks in use, from $Bitmap.
class VolumeBitmap {
  public:
    bool Load(ScanEngine& engine) {
        const auto map = MapEngineFileData(engine, kBitmapRecord);
        if (!map) return false;
        VectorOutput output(bits_);
        CopyOptions options;
        options.volumeSectors = engine.geometry().sizeInSectors;
        const CopyResult copy = CopyFileData(*map, engine.source(),
                                             engine.geometry().sectorsPerCluster, output, options);
        return copy.unreadableSectors == 0 && !bits_.empty();
    }
    // How many of clusters [start, end) are marked in use. A cluster past the bitmap
    // counts as in use: nothing tells it is free.
    std::uint64_t InUse(std::uint64_t start, std::uint64_t end) const {
        std::uint64_t count = 0;
        const std::uint64_t limit = std::uint64_t{bits_.size()} * 8;
        for (std::uint64_t c = start; c < end; ++c) {
            if (c >= limit) return count + (end - c);
            if ((c & 63) == 0 && c + 64 <= end && c + 64 <= limit) {
                std::uint64_t word = 0;
                for (int i = 7; i >= 0; --i) word = (word << 8) | bits_[c / 8 + i];
                count += static_cast<std::uint64_t>(__builtin_popcountll(word));
                c += 63;
                continue;
            }
            count += (bits_[c / 8] >> (c % 8)) & 1;
        }
        return count;
    }
    std::uint64_t bytes() const { return bits_.capacity(); }

  private:
    std::vector<std::uint8_t> bits_;
};

// Adds up who took a file's clusters; the largest holder names the cause.
class TakerTally {
  public:
    void Add(ClusterTaker kind, std::uint32_t record, std::uint64_t clusters) {
        if (clusters == 0) return;
        for (Holder& h : holders_) {
            if (h.kind == kind && h.record == record) {
                h.clusters += clusters;
                return;
            }
        }
        holders_.push_back({kind, record, clusters});
    }
    void Into(EntryCondition& condition) const {
        for (const Holder& h : holders_) {
            condition.takenClusters += h.clusters;
            if (h.clusters > condition.takerClusters) {
                condition.taker = h.kind;
                condition.takerRecord = h.record;
                condition.takerClusters = h.clusters;
            }
        }
    }

  private:
    struct Holder {
        ClusterTaker kind;
        std::uint32_t record;
        std::uint64_t clusters;
    };
    std::vector<Holder> holders_;
};

// A carved file's condition is what its reader found: whole to its end, or cut where its
// structure broke (the rest overwritten, or stored elsewhere).
EntryCondition CarvedCondition(const CatalogueEntry& entry) {
    EntryCondition c;
    c.condition =
        entry.carved == kCarvedWhole ? FileCondition::kIntact : FileCondition::kPartlyOverwritten;
    return c;
}

class ConditionBuilder {
  public:
    ConditionBuilder(ScanEngine& engine, ProgressSink& progress, const StopFlag* stop,
                     std::vector<UnprobedFile>& unprobed)
        : engine_(engine),
          progress_(progress),
          stop_(stop),
          unprobed_(unprobed),
          probeBytes_(engine.readsFolderIndexes()),
          entries_(engine.catalogue()) {
        const DriveGeometry& g = engine.geometry();
        volumeClusters_ = g.sectorsPerCluster ? g.sizeInSectors / g.sectorsPerCluster : 0;
    }

    void Run(MftFacts* gathered, std::vector<EntryTimes>& times,
             std::vector<std::uint32_t>& timesSlots, std::vector<EntryCondition>& conditions,
             WriteOrder& order, std::uint64_t& peak);

  private:
    bool Stopped() const { return stop_ != nullptr && stop_->load(); }
    void IndexCatalogue();
    bool GatherFacts(MftFacts& facts);
    void TakeFacts(MftFacts& facts);
    void TakeFoundRecord(std::uint32_t number, ByteView record, const FileRecordHeader& header);
    void ReadRecordsOutsideMft();
    void Decide(WriteOrder& order);
    EntryCondition DecideDeleted(const DeletedFile& file, std::uint32_t fileIndex) const;
    bool WrittenOver(const DeletedFile& file, SectorSource& source) const;
    void LookAtUnclaimed(const std::vector<std::pair<std::uint64_t, std::uint32_t>>& unclaimed);
    void KeepUnprobed(const std::vector<std::pair<std::uint64_t, std::uint32_t>>& unclaimed);
    bool SetCondition(std::uint32_t number, const EntryCondition& condition);
    EntryCondition DecideLive(std::uint32_t number, bool empty) const;
    std::uint64_t Bytes() const;

    ScanEngine& engine_;
    ProgressSink& progress_;
    const StopFlag* stop_;
    std::vector<UnprobedFile>& unprobed_;
    // The deeper scan reads the bytes of deleted files no record takes clusters from;
    // the default one reads no file data and leaves that to the recovery.
    bool probeBytes_ = false;
    std::uint64_t volumeClusters_ = 0;
    // Catalogue indexes by record number (a file with several names is catalogued once
    // per folder).
    EntriesByNumber entries_;
    // Times by slot (the MFT's records' by number, then those of records found outside
    // it), and each catalogue entry's slot.
    std::vector<EntryTimes> times_;
    std::vector<std::uint32_t> timesSlot_;
    std::vector<EntryCondition> conditions_;
    std::vector<Extent> live_;
    bool liveSorted_ = false;  // by start
    std::vector<DeletedFile> deleted_;
    // What the MFT pass saw of each base record (MftFacts' bits), when it went over the
    // whole MFT.
    std::vector<std::uint8_t> states_;
    bool statesKnown_ = false;
    std::vector<bool> recordRead_;  // per catalogue entry: its record was read
    // Per catalogue entry: what is left of it is weighed (a deleted file, or one found
    // outside the MFT of a volume that has one); every other file holds its clusters.
    std::vector<bool> weighed_;
    VolumeBitmap bitmap_;
    ClusterClaims claims_;
    std::uint64_t factsPeak_ = 0;
};

void ConditionBuilder::IndexCatalogue() {
    const Catalogue& catalogue = engine_.catalogue();
    const std::uint64_t mftRecords = engine_.mftRecordCount();
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        if (!entries_.Counts(i)) continue;
        weighed_[i] =
            catalogue.IsDeletedAt(i) || (mftRecords != 0 && catalogue.NumberAt(i) >= mftRecords);
    }
}

// Reads the MFT for what the scan's pass did not gather (a scan cut short, or one made
// without gathering). False when the drive has no MFT.
bool ConditionBuilder::GatherFacts(MftFacts& facts) {
    progress_.SetRange(0, engine_.mftRecordCount());
    progress_.SetPosition(0);
    return engine_.VisitMftRecords(
        [&](std::uint64_t number, std::span<std::uint8_t> bytes) {
            if ((number & 1023) == 0) progress_.SetPosition(number);
            if (PrepareFileRecord(bytes)) facts.Record(number, ByteView(bytes));
        },
        stop_);
}

// Times go to every catalogued entry of the record's number; the runs of records not in
// use are kept for the numbers whose entries are weighed.
void ConditionBuilder::TakeFacts(MftFacts& facts) {
    factsPeak_ = facts.Bytes();
    times_ = std::move(facts.timesByNumber);
    const Catalogue& catalogue = engine_.catalogue();
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        const std::uint32_t number = catalogue.NumberAt(i);
        if (entries_.Counts(i) && number < times_.size()) timesSlot_[i] = number;
    }
    live_ = std::move(facts.live);
    liveSorted_ = facts.liveSorted;
    states_ = std::move(facts.states);
    statesKnown_ = true;
    // Every deleted record with clusters claims them, listed or not: one whose name lies
    // in an extension record may be missing from the catalogue, yet its data went where
    // it went.
    // The files kept move down in place: a second list beside the gathered one would
    // double what the deleted records take at the check's peak.
    std::size_t kept = 0;
    for (DeletedFile& file : facts.deleted) {
        bool catalogued = false;
        entries_.Visit(file.number, [&](std::uint32_t index) {
            recordRead_[index] = true;
            catalogued = catalogued || weighed_[index];
        });
        if (!catalogued && file.runs.empty()) continue;
        if (&facts.deleted[kept] != &file) facts.deleted[kept] = std::move(file);
        ++kept;
    }
    facts.deleted.erase(facts.deleted.begin() + static_cast<std::ptrdiff_t>(kept),
                        facts.deleted.end());
    deleted_ = std::move(facts.deleted);
    facts.deleted = {};
    facts.whole = false;  // used up: a table made again reads the MFT
}

// A record found outside the MFT: its times go to every catalogued entry of its number,
// and its runs, read as the volume it belongs to lays them out, are weighed as a deleted
// file's.
void ConditionBuilder::TakeFoundRecord(std::uint32_t number, ByteView record,
                                       const FileRecordHeader& header) {
    if (!entries_.Any(number)) return;
    const std::optional<EntryTimes> times = TimesOf(record);
    if (times) times_.push_back(*times);
    bool wantsRuns = false;
    entries_.Visit(number, [&](std::uint32_t index) {
        if (times) timesSlot_[index] = static_cast<std::uint32_t>(times_.size() - 1);
        recordRead_[index] = true;
        wantsRuns = wantsRuns || weighed_[index];
    });
    if (!wantsRuns) return;
    DeletedFile file = WeighedFile(engine_, number, record, header.logSequenceNumber,
                                   times ? times->recordChange : 0);
    // A copy of a record the MFT still holds for the same file ($MFTMirr keeps the first
    // few): the clusters that record holds are this file's own.
    if (const auto mftNumber = engine_.LiveMftNumberOf(number)) {
        RecordBuffer live;
        if (engine_.ReadCataloguedRecord(*mftNumber, live) && PrepareFileRecord(live)) {
            const auto liveHeader = FileRecordHeader::Parse(ByteView(live));
            if (liveHeader && liveHeader->inUse() &&
                liveHeader->sequenceNumber == header.sequenceNumber)
                file.liveTwin = *mftNumber;
        }
    }
    deleted_.push_back(std::move(file));
}

// Records the drive-wide searches found outside the MFT, read one by one. No record in
// use of this volume lists them, whatever their own flags say: an older volume's files
// formatted over are weighed as deleted ones.
void ConditionBuilder::ReadRecordsOutsideMft() {
    const std::uint64_t mftRecords = engine_.mftRecordCount();
    RecordBuffer record;
    const auto outside =
        entries_.From(static_cast<std::uint32_t>(std::min<std::uint64_t>(mftRecords, UINT32_MAX)));
    for (auto it = outside.begin(); it != outside.end() && !Stopped(); ++it) {
        if (it->first < mftRecords || recordRead_[it->second]) continue;
        if (!engine_.ReadCataloguedRecord(it->first, record) || !PrepareFileRecord(record))
            continue;
        const auto header = FileRecordHeader::Parse(ByteView(record));
        if (header) TakeFoundRecord(it->first, ByteView(record), *header);
    }
}

EntryCondition ConditionBuilder::DecideDeleted(const DeletedFile& file,
                                               std::uint32_t fileIndex) const {
    EntryCondition result;
    TakerTally tally;
    for (const Extent& run : file.runs) {
        result.dataClusters += run.end - run.start;
        std::uint64_t start = run.start;
        if (run.end > volumeClusters_) {
            const std::uint64_t outside = run.end - std::max(start, volumeClusters_);
            tally.Add(ClusterTaker::kOutside, 0, outside);
            if (start >= volumeClusters_) continue;
        }
        const std::uint64_t end = std::min(run.end, volumeClusters_);
        claims_.Visit(start, end, [&](std::uint64_t from, std::uint64_t to, std::uint32_t who) {
            // Live files first: they hold their clusters whoever claimed them before.
            auto live = std::partition_point(live_.begin(), live_.end(),
                                             [&](const Extent& e) { return e.end <= from; });
            std::uint64_t at = from;
            const auto rest = [&](std::uint64_t gapEnd) {
                if (at >= gapEnd) return;
                if (who != fileIndex) {
                    tally.Add(ClusterTaker::kLaterDeleted, deleted_[who].number, gapEnd - at);
                } else {
                    tally.Add(ClusterTaker::kVolume, 0, bitmap_.InUse(at, gapEnd));
                }
            };
            for (; live != live_.end() && live->start < to; ++live) {
                const std::uint64_t a = std::max(at, live->start);
                const std::uint64_t b = std::min(to, live->end);
                if (a >= b) continue;
                rest(a);
                if (live->owner != file.liveTwin)
                    tally.Add(ClusterTaker::kLiveFile, live->owner, b - a);
                at = b;
            }
            rest(to);
        });
    }
    tally.Into(result);
    if (result.takenClusters == 0) {
        result.condition = FileCondition::kIntact;
    } else if (result.takenClusters >= result.dataClusters) {
        result.condition = FileCondition::kOverwritten;
    } else {
        result.condition = FileCondition::kPartlyOverwritten;
    }
    if (result.condition != FileCondition::kOverwritten && file.readGap != ReadGap::kNone) {
        result.condition = FileCondition::kPartlyUnreadable;
        result.readGap = file.readGap;
    }
    return result;
}

// Whether its bytes show another file written over it (see WrittenOverProbe), read for
// it. Sectors that cannot be read tell nothing.
bool ConditionBuilder::WrittenOver(const DeletedFile& file, SectorSource& source) const {
    WrittenOverProbe probe(file.written);
    ProbingSource probing(source, probe);
    const WrittenData& where = file.written;
    if (where.headClusters != 0) {
        std::vector<std::uint8_t> head(std::size_t{where.headClusters} * where.clusterBytes);
        probing.Read(DriveSector(where.headSector), head);
    }
    if (where.tailSector) {
        std::vector<std::uint8_t> tail(std::size_t{where.tailSectors} * 512);
        probing.Read(DriveSector(*where.tailSector), tail);
    }
    return probe.WrittenOver();
}

// A file in use holds its clusters; what the MFT pass saw of its record tells whether
// they can all be read.
EntryCondition ConditionBuilder::DecideLive(std::uint32_t number, bool empty) const {
    EntryCondition c;
    c.condition = FileCondition::kIntact;
    if (!statesKnown_ || number >= engine_.mftRecordCount()) return c;
    const std::uint8_t state = number < states_.size() ? states_[number] : 0;
    if (!(state & MftFacts::kSeen) || (!(state & MftFacts::kHasData) && !empty)) {
        c.condition = FileCondition::kUnreadable;
        c.readGap = ReadGap::kRecord;
    } else if (state & MftFacts::kCutShort) {
        c.condition = FileCondition::kPartlyUnreadable;
        c.readGap = ReadGap::kRunList;
    } else if (state & MftFacts::kPastImage) {
        c.condition = FileCondition::kPartlyUnreadable;
        c.readGap = ReadGap::kPastImage;
    } else if (state & MftFacts::kSizePastRuns) {
        c.condition = FileCondition::kPartlyUnreadable;
        c.readGap = ReadGap::kSizePastRuns;
    }
    return c;
}

void ConditionBuilder::Decide(WriteOrder& order) {
    // Live extents sorted by start; on a sound volume they do not overlap, so their
    // ends are in order too and a search by end finds the first that reaches a cluster.
    if (!liveSorted_) SortByStart(live_);
    const bool allLogged = std::all_of(deleted_.begin(), deleted_.end(), [](const auto& f) {
        return f.logSequence != 0 || f.runs.empty();
    });
    order = allLogged ? WriteOrder::kLogSequence : WriteOrder::kRecordChangeTime;
    std::vector<std::uint32_t> painting(deleted_.size());
    for (std::uint32_t i = 0; i < painting.size(); ++i) painting[i] = i;
    const auto key = [&](std::uint32_t i) {
        const DeletedFile& f = deleted_[i];
        return std::pair{allLogged ? f.logSequence : f.recordChange, f.number};
    };
    std::sort(painting.begin(), painting.end(),
              [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    for (std::uint32_t i : painting)
        for (const Extent& run : deleted_[i].runs) claims_.Add(run.start, run.end, i);
    claims_.Settle();

    // Catalogue indexes of each deleted file, through its record number.
    // Files no record takes clusters from are looked at last, in the order of their
    // place on the drive.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> unclaimed;
    for (std::uint32_t i = 0; i < deleted_.size(); ++i) {
        if (!entries_.Any(deleted_[i].number)) continue;  // a claimant only
        EntryCondition decided;
        if (deleted_[i].mapped) {
            decided = DecideDeleted(deleted_[i], i);
        } else {
            decided.condition = FileCondition::kUnreadable;
            decided.readGap = ReadGap::kRecord;
        }
        if (SetCondition(deleted_[i].number, decided) &&
            decided.condition == FileCondition::kIntact)
            unclaimed.emplace_back(deleted_[i].written.headSector, i);
    }
    std::sort(unclaimed.begin(), unclaimed.end());
    if (probeBytes_) {
        LookAtUnclaimed(unclaimed);
    } else {
        KeepUnprobed(unclaimed);
    }
}

// Files no record takes clusters from stay intact by who holds their clusters; where
// their bytes would tell more is kept for whoever reads those bytes later (a recovery).
void ConditionBuilder::KeepUnprobed(
    const std::vector<std::pair<std::uint64_t, std::uint32_t>>& unclaimed) {
    // Taken in the order of the files (that of their numbers), not of their places.
    std::vector<bool> kept(deleted_.size(), false);
    for (const auto& [sector, i] : unclaimed) kept[i] = true;
    for (std::uint32_t i = 0; i < deleted_.size(); ++i) {
        const DeletedFile& file = deleted_[i];
        if (!kept[i] || &engine_.SourceOf(file.number) != &engine_.source()) continue;
        if (file.written.headClusters == 0 && !file.written.tailSector) continue;
        entries_.Visit(file.number, [&](std::uint32_t index) {
            if (weighed_[index]) unprobed_.push_back({file.number, index, file.written});
        });
    }
    const auto byNumber = [](const UnprobedFile& a, const UnprobedFile& b) {
        return a.number < b.number;
    };
    if (!std::is_sorted(unprobed_.begin(), unprobed_.end(), byNumber))
        std::stable_sort(unprobed_.begin(), unprobed_.end(), byNumber);
}

// The bytes of files no record takes clusters from, read in sweeps over the drive: each
// sweep reads the heads and tails of a group of them (in the order of their place, up to
// kSweepBytes wanted) in disk order, small gaps read through, so that thousands of
// deleted files cost a few passes of the head rather than two jumps each.
void ConditionBuilder::LookAtUnclaimed(
    const std::vector<std::pair<std::uint64_t, std::uint32_t>>& unclaimed) {
    constexpr std::uint64_t kSweepBytes = 16u << 20;
    for (std::size_t first = 0; first < unclaimed.size();) {
        std::vector<RequestRecorder::Request> requests;
        std::uint64_t wanted = 0;
        std::size_t last = first;
        for (; last < unclaimed.size() && (last == first || wanted < kSweepBytes); ++last) {
            const DeletedFile& file = deleted_[unclaimed[last].second];
            if (&engine_.SourceOf(file.number) != &engine_.source()) continue;
            const WrittenData& where = file.written;
            const std::uint64_t head = std::uint64_t{where.headClusters} * where.clusterBytes;
            if (head != 0) requests.push_back({where.headSector, head});
            if (where.tailSector)
                requests.push_back({*where.tailSector, std::uint64_t{where.tailSectors} * 512});
            wanted += head + std::uint64_t{where.tailSectors} * 512;
        }
        ReadAheadSource ahead(engine_.source());
        if (!Stopped()) ahead.Fill(std::move(requests), stop_);
        for (std::size_t u = first; u < last; ++u) {
            const std::uint32_t i = unclaimed[u].second;
            const bool stopped = Stopped();
            SectorSource& own = engine_.SourceOf(deleted_[i].number);
            SectorSource& source = &own == &engine_.source() ? ahead : own;
            if (!stopped && !WrittenOver(deleted_[i], source)) continue;
            // No record lists another holder, yet its clusters were written again: a file
            // written there and deleted in turn, whose record was then given to another.
            EntryCondition decided;
            decided.unknownCause =
                stopped ? UnknownCause::kNotComputed : UnknownCause::kWrittenAgain;
            decided.dataClusters = 0;
            for (const Extent& run : deleted_[i].runs) decided.dataClusters += run.end - run.start;
            SetCondition(deleted_[i].number, decided);
        }
        first = last;
    }
}

// Gives every weighed catalogue entry of the record number its condition; false when
// the catalogue holds none (a deleted record that only claims clusters).
bool ConditionBuilder::SetCondition(std::uint32_t number, const EntryCondition& condition) {
    bool any = false;
    entries_.Visit(number, [&](std::uint32_t index) {
        if (!weighed_[index]) return;
        conditions_[index] = condition;
        any = true;
    });
    return any;
}

std::uint64_t ConditionBuilder::Bytes() const {
    std::uint64_t runs = 0;
    for (const DeletedFile& f : deleted_) runs += f.runs.capacity() * sizeof(Extent);
    const std::uint64_t table = timesSlot_.capacity() * sizeof(std::uint32_t) +
                                conditions_.capacity() * sizeof(EntryCondition) + entries_.bytes() +
                                (recordRead_.capacity() + weighed_.capacity()) / 8 +
                                unprobed_.capacity() * sizeof(UnprobedFile);
    const std::uint64_t own =
        table + times_.capacity() * sizeof(EntryTimes) + live_.capacity() * sizeof(Extent) +
        deleted_.capacity() * sizeof(DeletedFile) + runs + bitmap_.bytes() + claims_.bytes();
    // While the gathering is taken over, it is held whole beside the table.
    return std::max(own, factsPeak_ + table);
}

void ConditionBuilder::Run(MftFacts* gathered, std::vector<EntryTimes>& times,
                           std::vector<std::uint32_t>& timesSlots,
                           std::vector<EntryCondition>& conditions, WriteOrder& order,
                           std::uint64_t& peak) {
    const Catalogue& catalogue = engine_.catalogue();
    const std::size_t count = catalogue.Count();
    timesSlot_.assign(count, kNoTimesSlot);
    conditions_.assign(count, EntryCondition{});
    recordRead_.assign(count, false);
    weighed_.assign(count, false);
    IndexCatalogue();
    progress_.SetText(kSlotPhase, kCheckingText);
    bool haveMft = engine_.mftRecordCount() != 0;
    if (gathered != nullptr && gathered->whole) {
        TakeFacts(*gathered);
    } else {
        MftFacts facts(engine_);
        haveMft = GatherFacts(facts);
        if (!Stopped()) TakeFacts(facts);
    }
    const bool stopped = Stopped();
    if (!stopped) ReadRecordsOutsideMft();
    const bool haveBitmap = haveMft && !stopped && bitmap_.Load(engine_);
    if (haveBitmap && !Stopped()) Decide(order);
    peak = Bytes();

    // Everything not decided above: folders, files in use, and deleted files that could
    // not be weighed, with the reason.
    const UnknownCause cause = Stopped()     ? UnknownCause::kNotComputed
                               : !haveMft    ? UnknownCause::kNoMft
                               : !haveBitmap ? UnknownCause::kNoBitmap
                                             : UnknownCause::kNoRecord;
    const bool clusterSizeUnverified = engine_.geometry().clusterSizeUnverified;
    for (std::size_t i = 0; i < count; ++i) {
        EntryCondition& c = conditions_[i];
        if (catalogue.IsDirectoryAt(i) || catalogue.IsMadeUpAt(i)) {
            c = EntryCondition{};
            c.condition = FileCondition::kNotApplicable;
            continue;
        }
        if (catalogue.IsCarvedAt(i)) {
            c = CarvedCondition(catalogue.At(i));
        } else if (!weighed_[i]) {
            c = DecideLive(catalogue.NumberAt(i), catalogue.SizeAt(i) == 0);
        } else if (c.condition == FileCondition::kUnknown &&
                   c.unknownCause == UnknownCause::kNone) {
            c.unknownCause = cause;
        }
        // Read with a cluster size nothing confirms, no file's bytes can be called right.
        if (clusterSizeUnverified && c.condition != FileCondition::kUnreadable) {
            c = EntryCondition{};
            c.unknownCause = UnknownCause::kClusterSizeUnverified;
        }
    }
    times = std::move(times_);
    timesSlots = std::move(timesSlot_);
    conditions = std::move(conditions_);
}

}  // namespace

ConditionTable ConditionTable::Build(ScanEngine& engine, ProgressSink& progress,
                                     const StopFlag* stop, ConditionFacts* gathered) {
    ConditionTable table;
    ConditionBuilder(engine, progress, stop, table.unprobed_)
        .Run(gathered != nullptr ? &gathered->facts() : nullptr, table.times_, table.timesSlot_,
             table.conditions_, table.order_, table.peakBytes_);
    return table;
}

const WrittenData* ConditionTable::Unprobed(std::uint32_t number) const {
    const auto it = std::lower_bound(
        unprobed_.begin(), unprobed_.end(), number,
        [](const UnprobedFile& file, std::uint32_t wanted) { return file.number < wanted; });
    return it != unprobed_.end() && it->number == number ? &it->where : nullptr;
}

void ConditionTable::MarkWrittenAgain(std::uint32_t number) {
    auto it = std::lower_bound(
        unprobed_.begin(), unprobed_.end(), number,
        [](const UnprobedFile& file, std::uint32_t wanted) { return file.number < wanted; });
    if (it != unprobed_.end() && it->number == number) TakeOverKept();
    for (; it != unprobed_.end() && it->number == number; ++it) {
        if (it->entry >= conditions_.size()) continue;
        EntryCondition& c = conditions_[it->entry];
        if (c.condition != FileCondition::kIntact) continue;
        const std::uint64_t clusters = c.dataClusters;
        c = EntryCondition{};
        c.dataClusters = clusters;
        c.unknownCause = UnknownCause::kWrittenAgain;
    }
}

void ConditionTable::ExtendFor(const Catalogue& catalogue) {
    if (catalogue.Count() > Count()) TakeOverKept();
    for (std::size_t i = conditions_.size(); i < catalogue.Count(); ++i) {
        const CatalogueEntry& entry = catalogue.At(i);
        EntryCondition c;
        c.condition = entry.IsCarved() && !entry.IsDirectory() ? CarvedCondition(entry).condition
                                                               : FileCondition::kNotApplicable;
        conditions_.push_back(c);
        timesSlot_.push_back(kNoTimesSlot);
    }
}

ConditionTable::ConditionTable(std::vector<EntryTimes> times,
                               std::vector<EntryCondition> conditions)
    : times_(std::move(times)), conditions_(std::move(conditions)) {
    timesSlot_.resize(conditions_.size(), kNoTimesSlot);
    for (std::uint32_t i = 0; i < timesSlot_.size() && i < times_.size(); ++i) timesSlot_[i] = i;
}

const char* ConditionWord(FileCondition condition) {
    switch (condition) {
        case FileCondition::kNotApplicable:
            return "-";
        case FileCondition::kIntact:
            return "intact";
        case FileCondition::kPartlyOverwritten:
            return "partial";
        case FileCondition::kOverwritten:
            return "overwritten";
        case FileCondition::kUnknown:
            return "unknown";
        case FileCondition::kPartlyUnreadable:
            return "partly unreadable";
        case FileCondition::kUnreadable:
            return "unreadable";
    }
    return "unknown";
}

bool ConditionPasses(FileCondition condition, ConditionChoice choice) {
    switch (choice) {
        case ConditionChoice::kAny:
            return true;
        case ConditionChoice::kIntact:
            return condition == FileCondition::kIntact;
        case ConditionChoice::kPartial:
            return condition != FileCondition::kOverwritten &&
                   condition != FileCondition::kUnreadable;
    }
    return true;
}

std::string FormatPreciseTime(std::uint64_t fileTime) {
    std::string text;
    AppendPreciseTime(text, fileTime);
    return text;
}

void AppendPreciseTime(std::string& out, std::uint64_t fileTime) {
    char text[IsoTimeWriter::kMaxBytes];
    IsoTimeWriter writer;
    out.append(text, writer.PutTicksOrDash(text, fileTime));
}

}  // namespace tarvik
