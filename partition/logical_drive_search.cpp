#include "partition/logical_drive_search.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "disk/chunked_read.h"
#include "disk/disk.h"
#include "disk/disk_geometry.h"
#include "ntfs/boot_sector.h"
#include "partition/partition_types.h"
#include "partition/search_record_name.h"

namespace tarvik {

namespace {

// Chunks between two progress updates: 256 chunks of 63 sectors, about 8 MiB.
constexpr std::uint64_t kChunksPerReport = 256;

bool BeginsWithFile(const std::array<std::uint8_t, 1024>& record) {
    return std::memcmp(record.data(), "FILE", 4) == 0;
}

bool NamedMft(const std::array<std::uint8_t, 1024>& record) {
    const auto name = SearchRecordName(ByteView(record.data(), record.size()));
    return name && name->compare(0, 4, "$MFT") == 0;
}

// The disk sector `cluster` clusters into a volume that starts at `start`; nothing when
// it lies past the last sector a disk can have.
std::optional<DiskSector> ClusterOnDisk(DiskSector start, std::uint32_t spc,
                                        std::uint64_t cluster) {
    const auto offset = CheckedMul(cluster, spc);
    return offset ? start.Plus(*offset) : std::nullopt;
}

// A record that cannot be read, or has no place on a disk, counts as one that does not
// begin with "FILE".
bool ReadRecordAt(Disk& disk, std::optional<DiskSector> sector,
                  std::array<std::uint8_t, 1024>& record) {
    return sector && disk.Read(*sector, record);
}

// Whether the volume starting at `start` has its MFT (or the mirror's copy) where this
// boot sector says. A FILE record that is not "$MFT" ends the test without the mirror.
bool ConfirmsVolumeAt(Disk& disk, DiskSector start, std::uint32_t spc, const NtfsBootSector& boot) {
    std::array<std::uint8_t, 1024> record{};
    const bool read = ReadRecordAt(disk, ClusterOnDisk(start, spc, boot.mftCluster()), record);
    if (read && BeginsWithFile(record)) return NamedMft(record);
    if (!ReadRecordAt(disk, ClusterOnDisk(start, spc, boot.mftMirrorCluster()), record))
        return false;
    return BeginsWithFile(record) && NamedMft(record);
}

void ShowNumber(ProgressSink& progress, int slot, std::uint64_t value) {
    progress.SetText(slot, std::to_string(value));
}

}  // namespace

bool TestBootSectorCandidate(Disk& disk, DiskSector sector, const std::uint8_t* bytes,
                             FoundDriveTable& table) {
    if (bytes[510] != 0x55 || bytes[511] != 0xAA || std::memcmp(bytes + 3, "NTFS", 4) != 0) {
        return false;
    }
    const auto boot = NtfsBootSector::Parse(ByteView(bytes, 512));
    const auto spc = boot ? boot->SectorsPerCluster() : std::nullopt;
    if (!spc) return false;
    const std::uint64_t total = boot->totalSectors();
    if (ConfirmsVolumeAt(disk, sector, *spc, *boot)) return table.Record({sector.value(), total});
    // As the backup boot sector, this sector is the volume's last: it starts `total`
    // sectors before.
    if (sector.value() >= total && total != 0) {
        const DiskSector start(sector.value() - total);
        if (ConfirmsVolumeAt(disk, start, *spc, *boot)) return table.Record({start.value(), total});
    }
    return false;
}

void SearchLogicalDrives(const std::shared_ptr<Disk>& searched, FoundDriveTable& table,
                         ProgressSink& progress, const DriveSearchOptions& options) {
    table.Clear();
    std::uint64_t total = 0;
    GetDiskSectorCount(*searched, total, options.notifier);

    const std::uint64_t chunks = total / kSearchChunkSectors;
    progress.SetRange(0, chunks);
    progress.SetPosition(0);
    progress.SetStep(1);
    char status[64];
    std::snprintf(status, sizeof status, "Searching Hard Disk %d for Logical Drives",
                  static_cast<int>(searched->number()) + 1);
    progress.SetText(kSlotSearchStatus, status);
    ShowNumber(progress, kSlotSearchTotal, total);
    ShowNumber(progress, kSlotSearchFound, 0);

    // From sector 0, so that a volume at the very start of a disk is found as well. The
    // chunks and the MFT records that confirm a find are read through the disk's reader.
    DiskSectorSource disk(searched, DiskSector(0));
    std::uint64_t examined = 0;
    std::uint64_t chunkNumber = 0;
    ReadInChunks(disk, total, [&](DriveSector d, const std::uint8_t* chunk, bool readable) {
        if (options.stop && options.stop->load()) return false;
        // The bar and the sector counter move every few MiB: once per 32 KiB chunk would
        // be tens of millions of updates on a large disk.
        if (++chunkNumber % kChunksPerReport == 0 || chunkNumber >= chunks) {
            progress.SetPosition(std::min(chunkNumber, chunks));
            ShowNumber(progress, kSlotSearchSector, examined);
        }
        if (readable) {
            for (std::uint32_t s = 0; s < kSearchChunkSectors; ++s) {
                const DiskSector sector(d.value() + s);
                if (TestBootSectorCandidate(disk.disk(), sector, chunk + s * kSectorSize, table)) {
                    ShowNumber(progress, kSlotSearchFound, table.Count());
                }
            }
        }
        examined += kSearchChunkSectors;
        return true;
    });
}

void RebuildDriveListFromSearch(const FoundDriveTable& table, DriveList& list) {
    // A volume's backup boot sector lies just past its counted sectors; the drive takes
    // it in, so that a volume whose first sector is lost still validates from it.
    std::vector<LogicalDriveEntry> drives;
    for (const FoundDrive& drive : table.Drives()) {
        drives.push_back(
            {drive.startSector, drive.startSector + drive.totalSectors + 1, kTypeNtfs});
    }
    list.ReplaceCurrent(std::move(drives));
}

}  // namespace tarvik
