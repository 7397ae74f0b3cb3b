#include "partition/partition_table.h"

namespace tarvik {

std::optional<PartitionTableSector> PartitionTableSector::Parse(ByteView sector) {
    if (!sector.has(0, 512)) return std::nullopt;
    PartitionTableSector table;
    for (int i = 0; i < kEntryCount; ++i) {
        const std::size_t base = kFirstEntryOffset + static_cast<std::size_t>(i) * kEntrySize;
        table.records_[i].type = *sector.u8(base + kTypeOffset);
        table.records_[i].relativeStart = *sector.u32(base + kStartOffset);
        table.records_[i].sectorCount = *sector.u32(base + kCountOffset);
    }
    return table;
}

}  // namespace tarvik
