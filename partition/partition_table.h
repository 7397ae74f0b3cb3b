#pragma once
// Reader of one classic partition table sector: four 16-byte entries at 0x1BE.
#include <array>
#include <cstdint>
#include <optional>

#include "common/byte_view.h"

namespace tarvik {

struct PartitionTableRecord {
    std::uint8_t type = 0;
    std::uint32_t relativeStart = 0;
    std::uint32_t sectorCount = 0;
};

class PartitionTableSector {
  public:
    static constexpr std::size_t kFirstEntryOffset = 0x1BE;
    static constexpr std::size_t kEntrySize = 16;
    static constexpr std::size_t kTypeOffset = 4;
    static constexpr std::size_t kStartOffset = 8;
    static constexpr std::size_t kCountOffset = 12;
    static constexpr int kEntryCount = 4;

    // Nothing when fewer than 512 bytes are given. The boot flag, the CHS fields and
    // the 0x55 0xAA signature are not examined.
    static std::optional<PartitionTableSector> Parse(ByteView sector);

    const std::array<PartitionTableRecord, kEntryCount>& records() const { return records_; }

  private:
    std::array<PartitionTableRecord, kEntryCount> records_{};
};

}  // namespace tarvik
