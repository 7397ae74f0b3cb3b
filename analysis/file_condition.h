#pragma once
// What is left of each catalogued file on the drive, and the four times its
// $STANDARD_INFORMATION keeps: a table indexed like the catalogue, made after a scan.
//
// A deleted file's record often outlives its data: its clusters are given to later
// files. Who holds a cluster now is decided, in this order, by the runs of every record
// in use (those files own their clusters), by $Bitmap (a cluster marked in use that no
// readable record lists is taken all the same), and, between deleted records that
// claim the same cluster, by which record was written later: its data went there last.
// Where no record claims them any more (a later file deleted in turn, its record given
// to another), a file's own bytes may still tell (WrittenOverProbe): they make it
// "unknown" rather than intact. Those bytes are looked at where they are read anyway, by
// the recovery of the file, or by the deeper scan; the default scan reads no file data.
//
// A file in use whose record cannot be read or decoded is "unreadable"; one whose run
// list is cut short, or whose clusters lie past the end of the image, is "partly
// unreadable", and so is a deleted one (unless it is wholly overwritten).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "analysis/written_over_probe.h"
#include "common/reporting.h"
#include "scan/scan_engine.h"

namespace tarvik {

struct MftFacts;

// What the condition check takes from every MFT record, gathered while the scan reads
// the MFT (it is the scan's MFT observer), so that the MFT is read once for both. Memory:
// four times per record number, the runs of the records in use and those of the records
// not in use (both bounded by the volume's clusters), until the table is built from it.
class ConditionFacts final : public MftRecordObserver {
  public:
    explicit ConditionFacts(ScanEngine& engine);
    ~ConditionFacts() override;
    ConditionFacts(const ConditionFacts&) = delete;
    ConditionFacts& operator=(const ConditionFacts&) = delete;

    void ObserveHeader(const FileRecordHeader& header, ObservedRecord& into,
                       std::vector<ObservedExtent>& extents) const override;
    void ObserveAttribute(const Attribute& attribute, ObservedRecord& into,
                          std::vector<ObservedExtent>& extents) const override;
    void ObserveEnd(ObservedRecord& into, std::vector<ObservedExtent>& extents) const override;
    void Record(std::uint64_t number, std::span<const std::uint8_t> record,
                const ObservedRecord& observed, std::span<const ObservedExtent> extents) override;
    // A whole pass has its live extents sorted on a second thread while the scan ends.
    void PassEnded(bool whole) override;
    // The pass went over the whole MFT: the table can be built without reading it.
    bool whole() const;
    MftFacts& facts();

  private:
    void FinishSorting();

    std::unique_ptr<MftFacts> facts_;
    std::thread sorting_;
};

enum class FileCondition : std::uint8_t {
    kNotApplicable,  // a folder, or a folder made for lost entries
    kIntact,
    kPartlyOverwritten,
    kOverwritten,
    kUnknown,
    // Part of the data cannot be read from the drive: the run list is cut short, an
    // extension record holding runs is missing, or clusters lie past the image's end.
    kPartlyUnreadable,
    // The file's record cannot be read or decoded: where its data lies is not known.
    kUnreadable,
};

// What of a file cannot be read, for a partly unreadable or unreadable one.
enum class ReadGap : std::uint8_t {
    kNone,
    kRecord,     // the record cannot be read, or holds no data attribute that decodes
    kRunList,    // a run list is cut short, or an extension record of runs is missing
    kPastImage,  // clusters lie past the end of the disk image (or device)
    // The data size claims more than the allocation (or the runs) holds: only what the
    // runs place is written.
    kSizePastRuns,
};

// Who holds (most of) the clusters a deleted file lost.
enum class ClusterTaker : std::uint8_t {
    kNone,
    kLiveFile,      // a record in use lists them in its runs
    kLaterDeleted,  // a deleted record written after this one lists them
    kVolume,        // $Bitmap marks them in use, but no readable record lists them
    kOutside,       // they lie past the volume's last cluster
};

// Why a condition is unknown.
enum class UnknownCause : std::uint8_t {
    kNone,
    kNoMft,        // the drive's records were searched for: no MFT, no runs of live files
    kNoBitmap,     // $Bitmap could not be read
    kNoRecord,     // the file's own record could not be read again
    kNotComputed,  // a stop request came first
    // Its clusters are free and no record claims them since, yet the bytes after its
    // end were written again: another file held them, whose record was reused.
    kWrittenAgain,
    // No cluster size put the MFT where the boot sector says: every run may be read from
    // the wrong place.
    kClusterSizeUnverified,
};

// How two deleted records claiming one cluster are ordered.
enum class WriteOrder : std::uint8_t {
    // The record's $LogFile sequence number: one counter for the whole volume, which
    // moves on with every logged change whatever the clock says.
    kLogSequence,
    // The record's MFT-change time: used when some claimant has no sequence number
    // (volumes written by software that keeps no log leave it 0). Unlike the
    // modification time, programs that copy files do not set it.
    kRecordChangeTime,
};

// $STANDARD_INFORMATION times: 100 ns units since 1601-01-01 UTC; 0 when unknown.
struct EntryTimes {
    std::uint64_t creation = 0;
    std::uint64_t modification = 0;
    std::uint64_t recordChange = 0;
    std::uint64_t access = 0;
};

// One per catalogue entry: the fields are ordered so that it takes 32 bytes.
struct EntryCondition {
    // Clusters that hold the file's data (sparse parts and clusters past the data not
    // counted), and how many of them another holder has now.
    std::uint64_t dataClusters = 0;
    std::uint64_t takenClusters = 0;
    // The holder of the most taken clusters: how many it holds, its record number (for
    // a live or a later deleted file) and its kind.
    std::uint64_t takerClusters = 0;
    std::uint32_t takerRecord = 0;
    ClusterTaker taker = ClusterTaker::kNone;
    FileCondition condition = FileCondition::kUnknown;
    UnknownCause unknownCause = UnknownCause::kNone;
    ReadGap readGap = ReadGap::kNone;
};
static_assert(sizeof(EntryCondition) == 32);

class ConditionTable {
  public:
    ConditionTable() = default;

    // Takes what the scan's pass over the MFT gathered (the runs of live files, the
    // times and data runs of every record) or, without a whole gathering, reads the MFT
    // again for it; reads $Bitmap and decides every catalogued entry's condition. The
    // gathering is used up. Memory: one entry of times and condition per catalogue
    // entry, the gathering, and $Bitmap (one bit per cluster). A stop request leaves the
    // rest unknown (kNotComputed).
    static ConditionTable Build(ScanEngine& engine, ProgressSink& progress,
                                const StopFlag* stop = nullptr, ConditionFacts* gathered = nullptr);

    // A table whose times and conditions, one of each per entry, lie in memory `keeper`
    // holds (a kept scan's mapped file): they are read where they lie, never copied,
    // until the table is changed.
    static ConditionTable Kept(std::span<const EntryTimes> times,
                               std::span<const EntryCondition> conditions,
                               std::shared_ptr<const void> keeper);

    std::size_t Count() const { return keeper_ ? keptConditions_.size() : conditions_.size(); }
    // Precondition: index < Count().
    const EntryTimes& Times(std::size_t index) const {
        if (keeper_) return keptTimes_[index];
        const std::uint32_t slot = timesSlot_[index];
        return slot < times_.size() ? times_[slot] : kNoTimes;
    }
    const EntryCondition& Condition(std::size_t index) const {
        return keeper_ ? keptConditions_[index] : conditions_[index];
    }
    WriteOrder order() const { return order_; }
    // Asks the processor to fetch the entry's condition and the place of its times ahead
    // of their use (a walk in tree order meets entries out of stored order); and, once
    // that place has come, the times themselves. Does nothing past the end. Inlined
    // where called: a call the compiler found to change nothing would be dropped.
    [[gnu::always_inline]] void PrefetchAt(std::size_t index) const {
        if (index >= Count()) return;
        __builtin_prefetch(&Condition(index));
        if (keeper_) {
            __builtin_prefetch(&keptTimes_[index]);
        } else {
            __builtin_prefetch(&timesSlot_[index]);
        }
    }
    [[gnu::always_inline]] void PrefetchTimesAt(std::size_t index) const {
        if (index < Count()) __builtin_prefetch(&Times(index));
    }

    // A deleted file no record takes clusters from, whose bytes the check did not read:
    // intact by who holds its clusters, and where its bytes would tell otherwise.
    struct UnprobedFile {
        std::uint32_t number = 0;  // its record
        std::uint32_t entry = 0;   // one of its catalogue entries (one per entry)
        WrittenData where;
    };
    // Where to look at the bytes of the file of this record, when they were not read.
    const WrittenData* Unprobed(std::uint32_t number) const;
    // Its bytes, read since, show another file written over it: every entry of the
    // record becomes unknown (UnknownCause::kWrittenAgain).
    void MarkWrittenAgain(std::uint32_t number);
    // Conditions for the entries appended to the catalogue since the table was made
    // (files carved from free clusters and their folders): their own, and no times.
    void ExtendFor(const Catalogue& catalogue);
    // The largest memory the build held at once, in bytes (for measurements).
    std::uint64_t peakBytes() const { return peakBytes_; }

    // For tests of what reads a table: one made by hand.
    ConditionTable(std::vector<EntryTimes> times, std::vector<EntryCondition> conditions);

  private:
    // Copies the kept times and conditions into the table's own, to be changed.
    void TakeOverKept();

    static constexpr EntryTimes kNoTimes{};
    // The times of every record read, and per catalogue entry which of them are its
    // record's (kNoTimesSlot: none). Entries of one record share its times, and the
    // times of the MFT's records stay where the scan's pass put them, by number.
    std::vector<EntryTimes> times_;
    std::vector<std::uint32_t> timesSlot_;
    std::vector<EntryCondition> conditions_;
    WriteOrder order_ = WriteOrder::kLogSequence;
    std::uint64_t peakBytes_ = 0;
    std::vector<UnprobedFile> unprobed_;  // by record number
    // While set, the times and conditions are these, one per entry, and the vectors
    // above are empty.
    std::shared_ptr<const void> keeper_;
    std::span<const EntryTimes> keptTimes_;
    std::span<const EntryCondition> keptConditions_;
};

// "intact", "partial", "overwritten", "unknown", "partly unreadable", "unreadable";
// "-" for a folder.
const char* ConditionWord(FileCondition condition);

// Which files a recovery takes by their condition.
enum class ConditionChoice : std::uint8_t {
    kAny,
    kIntact,   // intact files only
    kPartial,  // all but the wholly overwritten and the unreadable
};
bool ConditionPasses(FileCondition condition, ConditionChoice choice);

// ISO 8601 in UTC with the seven fractional digits NTFS keeps:
// "2026-12-07T11:28:03.1234567Z"; "-" for 0 (unknown).
std::string FormatPreciseTime(std::uint64_t fileTime);
void AppendPreciseTime(std::string& out, std::uint64_t fileTime);

}  // namespace tarvik
