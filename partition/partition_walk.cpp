#include "partition/partition_walk.h"

#include <array>

#include "common/positions.h"
#include "disk/disk_geometry.h"
#include "disk/sector_reader.h"
#include "ntfs/boot_sector.h"
#include "partition/partition_table.h"
#include "partition/partition_types.h"

namespace tarvik {

namespace {

std::uint32_t EndOf(std::uint32_t start, std::uint32_t count) {
    return start + count;  // 32-bit sum, as partition tables hold 32-bit sectors
}

}  // namespace

void ReadPartitionTable(DriveCode code, std::uint32_t tableSector, PartitionWalkState& state,
                        DriveList& list) {
    if (state.tablesRead >= kMaxPartitionTables) return;
    if (!state.visitedTables.insert(tableSector).second) return;
    ++state.tablesRead;
    state.tableSector = tableSector;

    std::array<std::uint8_t, kSectorSize> sector{};
    if (ReadSectors(code, tableSector, 0, sector.data(), kSectorSize) != 1) return;
    const auto table = PartitionTableSector::Parse(ByteView(sector.data(), sector.size()));
    if (!table) return;

    for (const PartitionTableRecord& record : table->records()) {
        if (IsRecognisedDataType(record.type)) {
            const std::uint32_t start = tableSector + record.relativeStart;
            list.Append({start, EndOf(start, record.sectorCount), record.type});
        } else if (IsExtendedLinkType(record.type)) {
            std::uint32_t next = 0;
            if (state.extendedBase == 0) {
                state.extendedBase = record.relativeStart;
                next = record.relativeStart;
            } else {
                next = state.extendedBase + record.relativeStart;
            }
            ReadPartitionTable(code, next, state, list);
        }
    }
}

namespace {

// The boot sector at sector 0 when the disk is an image of a bare NTFS volume: its boot
// code must then not be read as a partition table.
std::optional<NtfsBootSector> BareVolumeBootSector(DriveCode code) {
    std::array<std::uint8_t, kSectorSize> sector{};
    if (ReadSectors(code, 0, 0, sector.data(), kSectorSize) != 1) return std::nullopt;
    auto boot = NtfsBootSector::Parse(ByteView(sector.data(), sector.size()));
    if (!boot || !boot->IsPlausibleVolume()) return std::nullopt;
    return boot;
}

// A bare volume spans its boot sector's size plus the backup boot sector after it,
// as far as the disk reaches.
LogicalDriveEntry BareVolumeEntry(DriveCode code, const NtfsBootSector& boot) {
    // Counted in 512-byte sectors, whatever the volume's own sector size.
    const std::uint64_t volume = boot.VolumeUnits().value_or(0);
    std::uint64_t end = CheckedAdd(volume, boot.bytesPerSector() / kSectorSize).value_or(volume);
    if (const auto bytes = DiskByteSize(code)) {
        const std::uint64_t diskSectors = *bytes / kSectorSize;
        if (diskSectors >= volume && diskSectors < end) end = diskSectors;
    }
    if (end > 0xFFFFFFFFu) end = 0xFFFFFFFFu;
    return {0, static_cast<std::uint32_t>(end), kTypeNtfs};
}

}  // namespace

std::size_t StartPartitionWalk(DriveCode code, DriveList& list, Notifier& notifier) {
    if (!list.Empty()) list.SetAsidePrevious();
    PartitionWalkState state;
    if (const auto boot = BareVolumeBootSector(code)) {
        list.Append(BareVolumeEntry(code, *boot));
    } else {
        ReadPartitionTable(code, 0, state, list);
    }
    if (list.Empty()) notifier.Notify(kBadTableText, kBadTableCaption, NoticeIcon::Warning);
    return list.Count();
}

}  // namespace tarvik
