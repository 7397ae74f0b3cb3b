#include "scan/mft_record_stream.h"

#include <algorithm>
#include <cstring>

namespace tarvik {

bool ReadRecordPieces(SectorSource& source, const RecordPlace& place,
                      std::span<std::uint8_t> bytes) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < place.count; ++i) {
        const std::size_t length = std::size_t{place.pieces[i].sectors} * 512;
        if (at + length > bytes.size()) return false;
        if (!source.Read(place.pieces[i].start, bytes.subspan(at, length))) return false;
        at += length;
    }
    return at == bytes.size();
}

MftRecordStream::MftRecordStream(SectorSource& source, const MftMap& map,
                                 std::uint32_t chunkSectors)
    : source_(source),
      map_(map),
      chunkSectors_(std::max<std::uint32_t>(chunkSectors, map.recordSectors())) {}

// A chunk that failed as a whole, read again one record at a time: a bad sector costs
// the records on it, not the chunk, and the walk goes on after them. A chunk always
// starts at a record, so its records lie at whole record sizes from its start.
void MftRecordStream::ReadRecordByRecord(std::uint64_t start, std::uint64_t count) {
    const std::uint64_t sectors = map_.recordSectors();
    unreadable_.assign(count / sectors + 1, false);
    for (std::uint64_t at = 0; at + sectors <= count; at += sectors) {
        const auto record = std::span(buffer_).subspan(at * 512, sectors * 512);
        if (!source_.Read(DriveSector(start + at), record)) {
            std::fill(record.begin(), record.end(), std::uint8_t{0});
            unreadable_[at / sectors] = true;
        }
    }
}

// Reads, from the run that holds logical sector s, as much as a chunk allows.
bool MftRecordStream::Fill(std::uint64_t s) {
    bufferStart_ = bufferEnd_ = s;
    std::uint64_t runBegin = 0;
    for (const PlacedRun& run : map_.runs()) {
        const std::uint64_t runEnd = runBegin + run.lengthSectors;
        if (s < runEnd) {
            const std::uint64_t count = std::min<std::uint64_t>(chunkSectors_, runEnd - s);
            buffer_.resize(count * 512);
            unreadable_.clear();
            const std::uint64_t start = run.start.value() + (s - runBegin);
            if (!source_.Read(DriveSector(start), buffer_)) ReadRecordByRecord(start, count);
            bufferEnd_ = s + count;
            return true;
        }
        runBegin = runEnd;
    }
    return false;
}

bool MftRecordStream::NextInPlace(RecordNumber& record, std::span<std::uint8_t>& view,
                                  std::vector<std::uint8_t>& spare, bool& readable) {
    if (next_ >= map_.recordCount()) return false;
    record = RecordNumber(next_++);
    const std::uint64_t sectors = map_.recordSectors();
    const std::uint64_t s = record.value() * sectors;
    if ((s >= bufferStart_ && s + sectors <= bufferEnd_) ||
        (Fill(s) && s + sectors <= bufferEnd_)) {
        const std::uint64_t at = s - bufferStart_;
        readable = unreadable_.empty() || !unreadable_[at / sectors];
        view = std::span(buffer_).subspan(at * 512, sectors * 512);
        return true;
    }
    // Split over runs, or the chunk could not be read: this record on its own.
    spare.assign(sectors * 512, 0);
    const auto place = map_.Locate(record);
    readable = place && ReadRecordPieces(source_, *place, spare);
    if (!readable) std::fill(spare.begin(), spare.end(), std::uint8_t{0});
    view = spare;
    return true;
}

bool MftRecordStream::HoldsNext() const {
    const std::uint64_t sectors = map_.recordSectors();
    const std::uint64_t s = next_ * sectors;
    return next_ < map_.recordCount() && s >= bufferStart_ && s + sectors <= bufferEnd_;
}

void MftRecordStream::SwapBuffer(std::vector<std::uint8_t>& other) {
    buffer_.swap(other);
    bufferStart_ = bufferEnd_ = 0;
    unreadable_.clear();
}

bool MftRecordStream::Next(RecordNumber& record, std::span<std::uint8_t> bytes, bool& readable) {
    if (bytes.size() != map_.recordSectors() * 512ull) {
        if (next_ >= map_.recordCount()) return false;
        record = RecordNumber(next_++);
        readable = false;
        return true;
    }
    std::span<std::uint8_t> view;
    if (!NextInPlace(record, view, spare_, readable)) return false;
    std::memcpy(bytes.data(), view.data(), bytes.size());
    return true;
}

}  // namespace tarvik
