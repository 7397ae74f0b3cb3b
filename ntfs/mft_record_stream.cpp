#include "ntfs/mft_record_stream.h"

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

// Reads, from the run that holds logical sector s, as much as a chunk allows.
bool MftRecordStream::Fill(std::uint64_t s) {
    bufferStart_ = bufferEnd_ = s;
    std::uint64_t runBegin = 0;
    for (const PlacedRun& run : map_.runs()) {
        const std::uint64_t runEnd = runBegin + run.lengthSectors;
        if (s < runEnd) {
            const std::uint64_t count = std::min<std::uint64_t>(chunkSectors_, runEnd - s);
            buffer_.resize(count * 512);
            if (!source_.Read(DriveSector(run.start.value() + (s - runBegin)), buffer_)) {
                return false;
            }
            bufferEnd_ = s + count;
            return true;
        }
        runBegin = runEnd;
    }
    return false;
}

bool MftRecordStream::Next(RecordNumber& record, std::span<std::uint8_t> bytes, bool& readable) {
    if (next_ >= map_.recordCount()) return false;
    record = RecordNumber(next_++);
    const std::uint64_t sectors = map_.recordSectors();
    const std::uint64_t s = record.value() * sectors;
    readable = bytes.size() == sectors * 512;
    if (!readable) return true;
    if (s >= bufferStart_ && s + sectors <= bufferEnd_) {
        std::memcpy(bytes.data(), buffer_.data() + (s - bufferStart_) * 512, bytes.size());
        return true;
    }
    if (Fill(s) && s + sectors <= bufferEnd_) {
        std::memcpy(bytes.data(), buffer_.data(), bytes.size());
        return true;
    }
    // Split over runs, or the chunk could not be read: this record on its own.
    const auto place = map_.Locate(record);
    readable = place && ReadRecordPieces(source_, *place, bytes);
    if (!readable) std::memset(bytes.data(), 0, bytes.size());
    return true;
}

}  // namespace tarvik
