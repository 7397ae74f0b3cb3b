#include "scan/mft_batch_reader.h"

#include <exception>
#include <system_error>
#include <utility>

namespace tarvik {

namespace {

// Batches read ahead of the one the scan works on: enough to ride over a slow record,
// few enough that memory stays a few megabytes.
constexpr std::size_t kBatchesAhead = 3;

}  // namespace

bool ReadsFromTwoThreads(SectorSource& source) {
    return dynamic_cast<DiskSectorSource*>(&source) != nullptr;
}

MftBatchReader::MftBatchReader(SectorSource& source, const MftMap& map, bool keepFolders,
                               bool twoThreads)
    : stream_(source, map), keepFolders_(keepFolders) {
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
void MftBatchReader::Decode(ReadMftRecord& record) const {
    if (!record.readable) return;
    if (const auto header = FileRecordHeader::Parse(ByteView(record.bytes))) {
        record.asStored = header->isExtension() || (keepFolders_ && header->isDirectory());
        if (record.asStored) return;
    }
    PrepareAndInspect(record);
}

void PrepareAndInspect(ReadMftRecord& record) {
    record.prepared = PrepareFileRecord(record.bytes);
    if (record.prepared) record.inspected = InspectPreparedRecord(record.bytes);
}

// The records up to the end of the stream's buffer (a chunk of a run), and any record
// read on its own before them.
std::unique_ptr<MftBatch> MftBatchReader::ReadBatch() {
    if (ended_) return nullptr;
    std::unique_ptr<MftBatch> batch = TakeFree();
    RecordNumber number;
    std::span<std::uint8_t> view;
    while (batch->records.empty() || stream_.HoldsNext()) {
        ReadMftRecord record;
        if (!stream_.NextInPlace(number, view, spare_, record.readable)) {
            ended_ = true;
            break;
        }
        if (view.data() == spare_.data()) {
            batch->loose.push_back(spare_);
            view = batch->loose.back();
        }
        record.number = number.value();
        record.bytes = view;
        Decode(record);
        batch->records.push_back(std::move(record));
    }
    stream_.SwapBuffer(batch->chunk);
    if (batch->records.empty()) return nullptr;
    return batch;
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
            const std::lock_guard lock(mutex_);
            waiting_.push_back(std::move(batch));
            changed_.notify_all();
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
    if (!thread_.joinable()) return ReadBatch();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !waiting_.empty() || threadEnded_; });
    if (waiting_.empty()) {
        if (failure_) std::rethrow_exception(failure_);
        return nullptr;
    }
    std::unique_ptr<MftBatch> batch = std::move(waiting_.front());
    waiting_.pop_front();
    changed_.notify_all();
    return batch;
}

void MftBatchReader::Recycle(std::unique_ptr<MftBatch> batch) {
    batch->records.clear();
    batch->loose.clear();
    const std::lock_guard lock(mutex_);
    free_.push_back(std::move(batch));
}

}  // namespace tarvik
