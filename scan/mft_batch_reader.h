#pragma once
// The MFT in number order, in batches of records already read, fixed up and inspected:
// on a second thread when the drive can be read from two threads at once, so that the
// scan catalogues one batch while the next is read and decoded. Decoding is shared: a
// batch is handed over as soon as it is read and the reading thread decodes it until the
// scan comes to it; the scan decodes the rest while the reading thread reads the next
// one (reading is what only that thread can do). What each record gives is the same on either
// thread: reading and decoding a record depends on its bytes alone. At most a few
// batches (a megabyte of records each) wait at a time.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "common/reporting.h"
#include "disk/sector_source.h"
#include "ntfs/file_record.h"
#include "ntfs/mft_map.h"
#include "ntfs/record_inspection.h"
#include "scan/mft_record_stream.h"
#include "scan/observed_record.h"
#include "scan/scan_engine.h"

namespace tarvik {

// One record as the reader left it.
struct ReadMftRecord {
    std::uint64_t number = 0;
    // Where its bytes lie, in its batch; fixed up when `prepared`.
    std::span<std::uint8_t> bytes;
    bool readable = false;  // false: zeros stand for a record that could not be read
    // Of a readable record that has one, as read before the fix-up (which leaves the
    // header's bytes as they were).
    std::optional<FileRecordHeader> header;
    // Left as stored (not fixed up) for the scan to keep so: an extension record, or a
    // folder when folders are kept. The scan fixes it up and inspects it itself.
    bool asStored = false;
    bool prepared = false;                     // fixed up; false for a record the fix-up refused
    std::optional<InspectedRecord> inspected;  // of a prepared record that decodes
    // What the MFT observer (if any) took of a prepared record, and its extents.
    ObservedRecord observed;
    std::span<const ObservedExtent> extents;
};

struct MftBatch {
    std::vector<ReadMftRecord> records;
    std::vector<std::uint8_t> chunk;  // the records read in one request
    std::vector<RecordBuffer> loose;  // records read on their own
    // The observer's extents of each group's records, and of a record kept as stored
    // while the scan decodes it.
    std::vector<std::vector<ObservedExtent>> extents;
    std::vector<ObservedExtent> keptExtents;
    // The records are decoded in groups, each by whichever thread claims it first.
    std::size_t groups = 0;
    std::atomic<std::size_t> claimed{0};
    std::atomic<std::size_t> decoded{0};
    // The reading thread claims no more of it: the scan may recycle it.
    std::atomic<bool> readerLeft{false};
    // The scan decodes it too: the reading thread leaves the rest to it and reads on.
    std::atomic<bool> scanHelps{false};
};

class MftBatchReader {
  public:
    // `keepFolders`: folder records are left as stored too. `twoThreads`: the source may
    // be read from another thread while this one reads it. `observer`, if any, observes
    // each record that is fixed up.
    MftBatchReader(SectorSource& source, const MftMap& map, bool keepFolders, bool twoThreads,
                   const MftRecordObserver* observer = nullptr);
    ~MftBatchReader();
    MftBatchReader(const MftBatchReader&) = delete;
    MftBatchReader& operator=(const MftBatchReader&) = delete;

    // The next batch in number order; nothing after the last record.
    std::unique_ptr<MftBatch> Next();
    // Gives a batch's memory back to be read into again.
    void Recycle(std::unique_ptr<MftBatch> batch);

  private:
    std::unique_ptr<MftBatch> ReadBatch();
    void Decode(ReadMftRecord& record, std::vector<ObservedExtent>& extents) const;
    // Decodes groups of the batch until none is left to claim or, for the reading
    // thread (`reader`), until the scan comes to decode them.
    void DecodeClaimed(MftBatch& batch, bool reader) const;
    // Helps decode the batch, then waits for the groups the other thread still decodes.
    void FinishDecoding(MftBatch& batch) const;
    void RunThread();
    std::unique_ptr<MftBatch> TakeFree();

    MftRecordStream stream_;
    const bool keepFolders_;
    const MftRecordObserver* const observer_;
    RecordBuffer spare_;
    bool ended_ = false;  // the stream handed out its last record

    // With a second thread: the batches read and waiting, and those given back.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<MftBatch>> waiting_;
    std::vector<std::unique_ptr<MftBatch>> free_;
    bool threadEnded_ = false;
    std::exception_ptr failure_;  // what ended the thread early, if anything
    bool abandoned_ = false;
    std::thread thread_;
};

// Fixes the record up and inspects it, and has the observer, if any, observe it, its
// extents appended to `extents`.
void PrepareAndInspect(ReadMftRecord& record, const MftRecordObserver* observer,
                       std::vector<ObservedExtent>& extents);
// The same for a record left as stored, once the scan kept it: its extents go to
// `scratch` (emptied first), where the record points until the next such record.
void PrepareKeptRecord(ReadMftRecord& record, const MftRecordObserver* observer,
                       std::vector<ObservedExtent>& scratch);

// Whether a source reads safely from two threads at once (a disk's reader locks itself).
bool ReadsFromTwoThreads(SectorSource& source);

}  // namespace tarvik
