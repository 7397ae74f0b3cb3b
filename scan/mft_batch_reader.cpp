#include "scan/mft_batch_reader.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace tarvik {

namespace {

// Batches read ahead of the one the scan works on: enough to ride over a slow record,
// few enough that memory stays a few megabytes.
constexpr std::size_t kBatchesAhead = 3;
// Records decoded per claim: enough that claiming costs nothing beside decoding, few
// enough that the thread that finishes last keeps the other waiting only briefly.
constexpr std::size_t kRecordsPerGroup = 32;

// The part of a record its header and first attributes lie in: fetched while the record
// before it is decoded, since the thread decoding it may not be the one that read it.
constexpr std::size_t kPrefetchedBytes = 512;

[[gnu::always_inline]] inline void PrefetchRecord(std::span<const std::uint8_t> bytes) {
    for (std::size_t at = 0; at < bytes.size() && at < kPrefetchedBytes; at += 64)
        __builtin_prefetch(bytes.data() + at);
}

}  // namespace

bool ReadsFromTwoThreads(SectorSource& source) {
    return dynamic_cast<DiskSectorSource*>(&source) != nullptr;
}

MftBatchReader::MftBatchReader(SectorSource& source, const MftMap& map, bool keepFolders,
                               bool twoThreads, const MftRecordObserver* observer)
    : stream_(source, map), keepFolders_(keepFolders), observer_(observer) {
    if (!twoThreads) return;
    try {
        thread_ = std::thread([this] { RunThread(); });
    } catch (const std::system_error&) {
        // No second thread to be had: the batches are read as they are asked for.
    }
}

MftBatchReader::~MftBatchReader() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

// The header alone tells which records stay as stored; every other one is fixed up and
// decoded here.
void MftBatchReader::Decode(ReadMftRecord& record, std::vector<ObservedExtent>& extents) const {
    if (!record.readable) return;
    record.header = FileRecordHeader::Parse(ByteView(record.bytes));
    if (const auto& header = record.header) {
        record.asStored = header->isExtension() || (keepFolders_ && header->isDirectory());
        if (record.asStored) return;
    }
    PrepareAndInspect(record, observer_, extents);
}

namespace {

// Shows the observer each attribute the decoding walk meets.
class ObservingVisitor final : public AttributeVisitor {
  public:
    ObservingVisitor(const MftRecordObserver& observer, ObservedRecord& into,
                     std::vector<ObservedExtent>& extents)
        : observer_(observer), into_(into), extents_(extents) {}
    void Visit(const Attribute& attribute) override {
        observer_.ObserveAttribute(attribute, into_, extents_);
    }

  private:
    const MftRecordObserver& observer_;
    ObservedRecord& into_;
    std::vector<ObservedExtent>& extents_;
};

}  // namespace

// The observer takes what it wants of the record from the walk that decodes it.
void PrepareAndInspect(ReadMftRecord& record, const MftRecordObserver* observer,
                       std::vector<ObservedExtent>& extents) {
    record.prepared = PrepareFileRecord(record.bytes);
    if (!record.prepared) return;
    if (observer == nullptr || !record.header) {
        record.inspected = InspectPreparedRecord(record.bytes);
        return;
    }
    observer->ObserveHeader(*record.header, record.observed, extents);
    ObservingVisitor visitor(*observer, record.observed, extents);
    record.inspected = InspectPreparedRecord(record.bytes, &visitor);
    observer->ObserveEnd(record.observed, extents);
}

// The records up to the end of the stream's buffer (a chunk of a run), and any record
// read on its own before them.
std::unique_ptr<MftBatch> MftBatchReader::ReadBatch() {
    if (ended_) return nullptr;
    std::unique_ptr<MftBatch> batch = TakeFree();
    RecordNumber number;
    std::span<std::uint8_t> view;
    while (batch->records.empty() || stream_.HoldsNext()) {
        bool readable = false;
        if (!stream_.NextInPlace(number, view, spare_, readable)) {
            ended_ = true;
            break;
        }
        if (view.data() == spare_.data()) {
            batch->loose.push_back(spare_);
            view = batch->loose.back();
        }
        // Made where it stays: a record's entry is large, and there are a thousand a batch.
        ReadMftRecord& record = batch->records.emplace_back();
        record.number = number.value();
        record.bytes = view;
        record.readable = readable;
    }
    stream_.SwapBuffer(batch->chunk);
    if (batch->records.empty()) return nullptr;
    batch->groups = (batch->records.size() + kRecordsPerGroup - 1) / kRecordsPerGroup;
    if (batch->extents.size() < batch->groups) batch->extents.resize(batch->groups);
    batch->claimed.store(0, std::memory_order_relaxed);
    batch->decoded.store(0, std::memory_order_relaxed);
    batch->readerLeft.store(false, std::memory_order_relaxed);
    batch->scanHelps.store(false, std::memory_order_relaxed);
    return batch;
}

// The scan, once it comes to a batch, decodes what is left of it alone: the reading
// thread goes on to read the next, so that the scan does not wait for it as long.
void MftBatchReader::DecodeClaimed(MftBatch& batch, bool reader) const {
    const std::size_t groups = batch.groups;
    for (;;) {
        if (reader && batch.scanHelps.load(std::memory_order_relaxed)) return;
        const std::size_t group = batch.claimed.fetch_add(1, std::memory_order_relaxed);
        if (group >= groups) return;
        const std::size_t first = group * kRecordsPerGroup;
        const std::size_t end = std::min(first + kRecordsPerGroup, batch.records.size());
        std::vector<ObservedExtent>& extents = batch.extents[group];
        for (std::size_t i = first; i < end; ++i) {
            if (i + 1 < end) PrefetchRecord(batch.records[i + 1].bytes);
            Decode(batch.records[i], extents);
        }
        // The group's list grows no more: its records may point into it.
        for (std::size_t i = first; i < end; ++i) {
            const ObservedRecord& seen = batch.records[i].observed;
            batch.records[i].extents =
                std::span(extents).subspan(seen.firstExtent, seen.extentCount);
        }
        batch.decoded.fetch_add(1, std::memory_order_release);
    }
}

void MftBatchReader::FinishDecoding(MftBatch& batch) const {
    batch.scanHelps.store(true, std::memory_order_relaxed);
    DecodeClaimed(batch, false);
    while (batch.decoded.load(std::memory_order_acquire) < batch.groups ||
           !batch.readerLeft.load(std::memory_order_acquire))
        std::this_thread::yield();
}

// The free list is locked whichever thread asks: the reading thread may ask before the
// one that made it has even stored it.
std::unique_ptr<MftBatch> MftBatchReader::TakeFree() {
    std::unique_ptr<MftBatch> batch;
    {
        const std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            batch = std::move(free_.back());
            free_.pop_back();
        }
    }
    if (!batch) batch = std::make_unique<MftBatch>();
    return batch;
}

// A failure on the thread (memory running out) ends its batches; the scan meets it where
// it asks for the next one, as it would have met it reading on its own.
void MftBatchReader::RunThread() {
    try {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return abandoned_ || waiting_.size() < kBatchesAhead; });
                if (abandoned_) break;
            }
            std::unique_ptr<MftBatch> batch = ReadBatch();
            if (!batch) break;
            MftBatch& shared = *batch;
            {
                const std::lock_guard lock(mutex_);
                waiting_.push_back(std::move(batch));
            }
            changed_.notify_all();
            DecodeClaimed(shared, true);
            shared.readerLeft.store(true, std::memory_order_release);
        }
    } catch (...) {
        const std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
    }
    const std::lock_guard lock(mutex_);
    threadEnded_ = true;
    changed_.notify_all();
}

std::unique_ptr<MftBatch> MftBatchReader::Next() {
    std::unique_ptr<MftBatch> batch;
    if (!thread_.joinable()) {
        batch = ReadBatch();
        if (batch) batch->readerLeft.store(true, std::memory_order_relaxed);
    } else {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !waiting_.empty() || threadEnded_; });
        if (waiting_.empty()) {
            if (failure_) std::rethrow_exception(failure_);
            return nullptr;
        }
        batch = std::move(waiting_.front());
        waiting_.pop_front();
        changed_.notify_all();
    }
    if (batch) FinishDecoding(*batch);
    return batch;
}

void PrepareKeptRecord(ReadMftRecord& record, const MftRecordObserver* observer,
                       std::vector<ObservedExtent>& scratch) {
    scratch.clear();
    PrepareAndInspect(record, observer, scratch);
    record.extents = scratch;
}

void MftBatchReader::Recycle(std::unique_ptr<MftBatch> batch) {
    batch->records.clear();
    batch->loose.clear();
    for (std::vector<ObservedExtent>& extents : batch->extents) extents.clear();
    const std::lock_guard lock(mutex_);
    free_.push_back(std::move(batch));
}

}  // namespace tarvik
