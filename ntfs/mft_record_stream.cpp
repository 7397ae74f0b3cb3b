#include "ntfs/mft_record_stream.h"

#include <algorithm>
#include <cstring>

namespace tarvik {

MftRecordStream::MftRecordStream(SectorSource& source, const MftMap& map,
                                 std::uint32_t chunkSectors)
    : source_(source), map_(map), chunkSectors_(std::max<std::uint32_t>(chunkSectors, 2)) {}

// Reads, from the run that holds logical sector s, as much as a chunk allows.
bool MftRecordStream::Fill(std::uint64_t s) {
    bufferStart_ = bufferEnd_ = s;
    std::uint64_t runBegin = 0;
    for (const PlacedRun& run : map_.runs()) {
        const std::uint64_t runEnd = runBegin + run.lengthSectors;
        if (s < runEnd) {
            const std::uint64_t count = std::min<std::uint64_t>(chunkSectors_, runEnd - s);
            buffer_.resize(count * 512);
            if (!source_.Read(run.startSector + (s - runBegin), buffer_)) return false;
            bufferEnd_ = s + count;
            return true;
        }
        runBegin = runEnd;
    }
    return false;
}

bool MftRecordStream::Next(std::uint64_t& recordNumber,
                           std::span<std::uint8_t, kMftRecordSize> record, bool& readable) {
    if (next_ >= map_.recordCount()) return false;
    recordNumber = next_++;
    const std::uint64_t s = recordNumber * kSectorsPerRecord;
    readable = true;
    if (s >= bufferStart_ && s + 2 <= bufferEnd_) {
        std::memcpy(record.data(), buffer_.data() + (s - bufferStart_) * 512, kMftRecordSize);
        return true;
    }
    if (Fill(s) && s + 2 <= bufferEnd_) {
        std::memcpy(record.data(), buffer_.data(), kMftRecordSize);
        return true;
    }
    // Split over two runs, or the chunk could not be read: this record on its own.
    std::memset(record.data(), 0, kMftRecordSize);
    const auto place = map_.Locate(recordNumber);
    readable = place && source_.Read(place->firstSector, record.first(512)) &&
               source_.Read(place->secondSector.value_or(place->firstSector + 1),
                            record.subspan(512, 512));
    if (!readable) std::memset(record.data(), 0, kMftRecordSize);
    return true;
}

}  // namespace tarvik
