#include "partition/logical_drive_search.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "disk/chunked_read.h"
#include "disk/disk_geometry.h"
#include "disk/sector_reader.h"
#include "ntfs/boot_sector.h"
#include "partition/partition_types.h"
#include "partition/search_record_name.h"

namespace tarvik {

namespace {

bool BeginsWithFile(const std::array<std::uint8_t, 1024>& record) {
    return std::memcmp(record.data(), "FILE", 4) == 0;
}

bool NamedMft(const std::array<std::uint8_t, 1024>& record) {
    const auto name = SearchRecordName(ByteView(record.data(), record.size()));
    return name && name->compare(0, 4, "$MFT") == 0;
}

// Whether the volume starting at `start` has its MFT (or the mirror's copy) where this
// boot sector says. A FILE record that is not "$MFT" ends the test without the mirror.
bool ConfirmsVolumeAt(DriveCode code, std::uint32_t start, std::uint32_t spc, std::uint32_t mft,
                      std::uint32_t mirror) {
    std::array<std::uint8_t, 1024> record{};
    const std::uint32_t mftSector = start + spc * mft;  // 32-bit, as boot sectors hold
    const bool read = ReadSectors(code, mftSector, 0, record.data(), 1024) == 1;
    if (read && BeginsWithFile(record)) return NamedMft(record);
    const std::uint32_t mirrorSector = start + spc * mirror;
    if (ReadSectors(code, mirrorSector, 0, record.data(), 1024) != 1) return false;
    return BeginsWithFile(record) && NamedMft(record);
}

void ShowNumber(ProgressSink& progress, int slot, std::uint64_t value) {
    progress.SetText(slot, std::to_string(value));
}

}  // namespace

bool TestBootSectorCandidate(DriveCode code, std::uint32_t sector, const std::uint8_t* bytes,
                             FoundDriveTable& table) {
    if (bytes[510] != 0x55 || bytes[511] != 0xAA || std::memcmp(bytes + 3, "NTFS", 4) != 0) {
        return false;
    }
    const auto boot = NtfsBootSector::Parse(ByteView(bytes, 512));
    const auto spc = boot ? boot->SectorsPerCluster() : std::nullopt;
    if (!spc) return false;
    const auto total = static_cast<std::uint32_t>(boot->totalSectors());
    const auto mft = static_cast<std::uint32_t>(boot->mftCluster());
    const auto mirror = static_cast<std::uint32_t>(boot->mftMirrorCluster());
    if (ConfirmsVolumeAt(code, sector, *spc, mft, mirror)) {
        return table.Record({sector, total});
    }
    // As the backup boot sector, this sector is the volume's last: it starts `total`
    // sectors before.
    if (sector >= total && total != 0) {
        const std::uint32_t start = sector - total;
        if (ConfirmsVolumeAt(code, start, *spc, mft, mirror)) return table.Record({start, total});
    }
    return false;
}

void SearchLogicalDrives(DriveCode code, FoundDriveTable& table, ProgressSink& progress,
                         const DriveSearchOptions& options) {
    table.Clear();
    std::uint32_t total = 0;
    GetDiskSectorCount(code, total, options.notifier);

    progress.SetRange(0, total / kSearchChunkSectors);
    progress.SetPosition(0);
    progress.SetStep(1);
    char status[64];
    std::snprintf(status, sizeof status, "Searching Hard Disk %d for Logical Drives",
                  static_cast<int>(code) - 0x7F);
    progress.SetText(kSlotSearchStatus, status);
    ShowNumber(progress, kSlotSearchTotal, total);
    ShowNumber(progress, kSlotSearchFound, 0);

    // From sector 0, so that a volume at the very start of a disk is found as well.
    DiskSectorSource disk(code, DiskSector(0));
    std::uint64_t examined = 0;
    ReadInChunks(disk, total, [&](DriveSector d, const std::uint8_t* chunk, bool readable) {
        if (options.stop && options.stop->load()) return false;
        progress.StepIt();
        ShowNumber(progress, kSlotSearchSector, examined);
        if (readable) {
            for (std::uint32_t s = 0; s < kSearchChunkSectors; ++s) {
                const auto sector = static_cast<std::uint32_t>(d.value() + s);
                if (TestBootSectorCandidate(code, sector, chunk + s * kSectorSize, table)) {
                    ShowNumber(progress, kSlotSearchFound, table.Count());
                }
            }
        }
        examined += kSearchChunkSectors;
        return true;
    });
}

void RebuildDriveListFromSearch(const FoundDriveTable& table, DriveList& list) {
    list.DiscardCurrent();
    // A volume's backup boot sector lies just past its counted sectors; the drive takes
    // it in, so that a volume whose first sector is lost still validates from it.
    for (const FoundDrive& drive : table.Drives()) {
        list.Append({drive.startSector, drive.startSector + drive.totalSectors + 1, kTypeNtfs});
    }
}

}  // namespace tarvik
