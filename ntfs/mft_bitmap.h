#pragma once
// The MFT's own $BITMAP: which of its records the volume counts as in use. The MFT is
// allocated ahead of its use, and its tail may hold records a format or an older volume
// left there whose headers still say "in use"; only the bitmap tells them from live ones.
#include <cstdint>
#include <optional>
#include <vector>

#include "common/byte_view.h"
#include "disk/sector_source.h"

namespace tarvik {

class MftBitmap {
  public:
    // From record 0 (fix-up applied): its unnamed $BITMAP, resident or read through its
    // runs, at most enough bits for `records`. Nothing when the record has none in itself
    // or a run cannot be read: every record header is then taken at its word.
    static std::optional<MftBitmap> Read(ByteView mftRecord, SectorSource& source,
                                         std::uint32_t sectorsPerCluster, std::uint64_t records);
    explicit MftBitmap(std::vector<std::uint8_t> bits) : bits_(std::move(bits)) {}

    // A record past the bitmap's end is free.
    bool InUse(std::uint64_t record) const {
        return record / 8 < bits_.size() && ((bits_[record / 8] >> (record % 8)) & 1) != 0;
    }

  private:
    std::vector<std::uint8_t> bits_;
};

}  // namespace tarvik
