#pragma once
// Every MFT record in number order, read in large requests (up to a chunk of a run at
// a time) rather than one record per read.
#include <cstdint>
#include <span>
#include <vector>

#include "disk/sector_source.h"
#include "ntfs/mft_map.h"

namespace tarvik {

class MftRecordStream {
  public:
    static constexpr std::uint32_t kDefaultChunkSectors = 2048;  // 1 MiB

    MftRecordStream(SectorSource& source, const MftMap& map,
                    std::uint32_t chunkSectors = kDefaultChunkSectors);

    // The next record as stored (no fix-up) into `record`, which holds one record of the
    // map's size. False after the last record. A record that could not be read is handed
    // out zero-filled with readable false.
    bool Next(RecordNumber& record, std::span<std::uint8_t> bytes, bool& readable);
    // As Next, without the copy: `view` is the record where it lies in the stream's own
    // buffer (the caller may change it, a fix-up in place; valid until the next call), or
    // in `spare` when it had to be read on its own.
    bool NextInPlace(RecordNumber& record, std::span<std::uint8_t>& view,
                     std::vector<std::uint8_t>& spare, bool& readable);

    // Whether the next record lies whole in the stream's buffer already: when it does not,
    // the next call reads into the buffer again, over the records handed out from it.
    bool HoldsNext() const;
    // Hands the buffer, and the records in it, over to the caller, who gives back one to
    // read into (its bytes do not matter). The next call reads afresh.
    void SwapBuffer(std::vector<std::uint8_t>& other);

  private:
    bool Fill(std::uint64_t logicalSector);
    void ReadRecordByRecord(std::uint64_t start, std::uint64_t count);

    SectorSource& source_;
    const MftMap& map_;
    std::uint32_t chunkSectors_;
    std::uint64_t next_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t bufferStart_ = 0;  // logical MFT sector of buffer_[0]
    std::uint64_t bufferEnd_ = 0;
    // After a chunk that failed as a whole: which of its records could not be read.
    std::vector<bool> unreadable_;
    std::vector<std::uint8_t> spare_;
};

// Reads the record at `place` into `bytes` (one record's size), piece by piece.
bool ReadRecordPieces(SectorSource& source, const RecordPlace& place,
                      std::span<std::uint8_t> bytes);

}  // namespace tarvik
