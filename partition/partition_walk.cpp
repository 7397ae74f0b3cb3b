#include "partition/partition_walk.h"

#include <array>
#include <optional>

#include "common/positions.h"
#include "disk/disk.h"
#include "ntfs/boot_sector.h"
#include "partition/gpt_drives.h"
#include "partition/gpt_table.h"
#include "partition/partition_table.h"
#include "partition/partition_types.h"

namespace tarvik {

namespace {

// A table of the chain being walked: its place, its four records and the next to take.
struct OpenTable {
    DiskSector sector;
    std::array<PartitionTableRecord, PartitionTableSector::kEntryCount> records;
    std::size_t next = 0;
};

// Reads the table at `tableSector`; nothing when the walk has read it before, has read
// its fill of tables, or the sector cannot be read.
std::optional<OpenTable> EnterTable(Disk& disk, DiskSector tableSector, PartitionWalkState& state) {
    if (state.tablesRead >= kMaxPartitionTables) return std::nullopt;
    if (!state.visitedTables.insert(tableSector.value()).second) return std::nullopt;
    ++state.tablesRead;
    state.tableSector = tableSector;

    std::array<std::uint8_t, kSectorSize> sector{};
    if (!disk.Read(tableSector, sector)) return std::nullopt;
    const auto table = PartitionTableSector::Parse(ByteView(sector.data(), sector.size()));
    if (!table) return std::nullopt;
    return OpenTable{tableSector, table->records(), 0};
}

}  // namespace

void ReadPartitionTable(Disk& disk, DiskSector tableSector, PartitionWalkState& state,
                        std::vector<LogicalDriveEntry>& drives) {
    // The tables from the first one down to the one being read, on the heap: a chain as
    // long as the table bound costs no stack.
    std::vector<OpenTable> path;
    if (auto first = EnterTable(disk, tableSector, state)) path.push_back(*first);
    while (!path.empty()) {
        OpenTable& table = path.back();
        if (table.next == table.records.size()) {
            path.pop_back();
            continue;
        }
        const PartitionTableRecord record = table.records[table.next++];
        if (IsRecognisedDataType(record.type)) {
            // The fields are 32-bit; their sums with a table's place need not be.
            const std::uint64_t units = state.unitsPerSector;
            const auto start = table.sector.Plus(record.relativeStart * units);
            const auto end = start ? start->Plus(record.sectorCount * units) : std::nullopt;
            if (end) drives.push_back({start->value(), end->value(), record.type});
        } else if (IsExtendedLinkType(record.type)) {
            std::uint64_t next = 0;
            if (state.extendedBase == 0) {
                state.extendedBase = record.relativeStart;
                next = record.relativeStart;
            } else {
                next = state.extendedBase + record.relativeStart;
            }
            // The linked table is read whole, links and all, before this one goes on.
            const auto place = CheckedMul(next, state.unitsPerSector);
            if (!place) continue;
            if (auto linked = EnterTable(disk, DiskSector(*place), state)) path.push_back(*linked);
        }
    }
}

namespace {

// The boot sector at sector 0 when the disk is an image of a bare NTFS volume: its boot
// code must then not be read as a partition table.
std::optional<NtfsBootSector> BareVolumeBootSector(Disk& disk) {
    std::array<std::uint8_t, kSectorSize> sector{};
    if (!disk.Read(DiskSector(0), sector)) return std::nullopt;
    auto boot = NtfsBootSector::Parse(ByteView(sector.data(), sector.size()));
    if (!boot || !boot->IsPlausibleVolume()) return std::nullopt;
    return boot;
}

// A bare volume spans its boot sector's size plus the backup boot sector after it,
// as far as the disk reaches.
LogicalDriveEntry BareVolumeEntry(Disk& disk, const NtfsBootSector& boot) {
    // Counted in 512-byte sectors, whatever the volume's own sector size.
    const std::uint64_t volume = boot.VolumeUnits().value_or(0);
    std::uint64_t end = CheckedAdd(volume, boot.bytesPerSector() / kSectorSize).value_or(volume);
    if (const auto bytes = disk.ByteSize()) {
        const std::uint64_t diskSectors = *bytes / kSectorSize;
        if (diskSectors >= volume && diskSectors < end) end = diskSectors;
    }
    return {0, end, kTypeNtfs};
}

// The MBR entry type that marks the disk as GPT: alone it is the protective MBR, beside
// other entries a hybrid one (whose MBR entries only mirror some of the GPT's).
constexpr std::uint8_t kTypeGptProtective = 0xEE;

bool HasGptProtectiveEntry(Disk& disk) {
    std::array<std::uint8_t, kSectorSize> sector{};
    if (!disk.Read(DiskSector(0), sector)) return false;
    const auto table = PartitionTableSector::Parse(ByteView(sector.data(), sector.size()));
    if (!table) return false;
    for (const PartitionTableRecord& record : table->records()) {
        if (record.type == kTypeGptProtective) return true;
    }
    return false;
}

std::optional<GptTable> FindDiskGpt(Disk& disk) {
    const auto bytes = disk.ByteSize();
    if (!bytes) return std::nullopt;
    const DiskBytesReader read = [&disk](std::uint64_t offset, std::span<std::uint8_t> buffer) {
        return disk.Read(DiskSector(offset / kSectorSize), buffer);
    };
    return FindGptTable(read, *bytes, disk.LogicalSectorSize());
}

}  // namespace

std::vector<LogicalDriveEntry> ReadDiskPartitions(Disk& disk, bool* gptFromBackup) {
    PartitionWalkState state;
    if (const auto size = disk.LogicalSectorSize(); size && *size % kSectorSize == 0)
        state.unitsPerSector = *size / kSectorSize;
    std::vector<LogicalDriveEntry> drives;
    if (const auto boot = BareVolumeBootSector(disk)) {
        drives.push_back(BareVolumeEntry(disk, *boot));
        return drives;
    }
    const auto fromGpt = [&](const GptTable& gpt) {
        if (gptFromBackup) *gptFromBackup = gpt.fromBackup;
        return GptDrives(disk, gpt);
    };
    const bool protective = HasGptProtectiveEntry(disk);
    if (protective) {
        if (const auto gpt = FindDiskGpt(disk)) return fromGpt(*gpt);
    }
    // No GPT behind the protective entry (both copies damaged): a hybrid MBR still
    // lists its own entries, a protective one nothing.
    ReadPartitionTable(disk, DiskSector(0), state, drives);
    // An MBR wiped in front of a GPT that is still whole.
    if (drives.empty() && !protective) {
        if (const auto gpt = FindDiskGpt(disk)) return fromGpt(*gpt);
    }
    return drives;
}

std::size_t StartPartitionWalk(Disk& disk, DriveList& list, Notifier& notifier) {
    bool gptFromBackup = false;
    std::vector<LogicalDriveEntry> drives = ReadDiskPartitions(disk, &gptFromBackup);
    if (gptFromBackup) notifier.Notify(kGptBackupText, kGptBackupCaption, NoticeIcon::Information);
    const std::size_t count = drives.size();
    list.ReplaceSettingAside(std::move(drives));
    if (count == 0) notifier.Notify(kBadTableText, kBadTableCaption, NoticeIcon::Warning);
    return count;
}

}  // namespace tarvik
