#pragma once
// What a scan engine holds, for the scan's phases inside scan/ (and tests that build a
// scanned drive by hand). Everything outside scan/ goes through ScanEngine.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/directory_id_list.h"
#include "catalogue/folder_table.h"
#include "ntfs/mft_bitmap.h"
#include "ntfs/mft_map.h"
#include "scan/read_ahead.h"
#include "scan/scan_engine.h"

namespace tarvik {

// What the drive-wide search learnt of a record it found: the number and sequence the
// record stores for itself, and the volume it belongs to (the live one, or an older one
// that was formatted over).
struct FoundRecordOrigin {
    std::uint32_t number = 0;
    std::uint16_t sequence = 0;
    bool numbered = false;  // the record stores its own number (NTFS 3.1 and later)
    bool inUse = false;
    std::uint8_t volume = 0;
};

// Folders made for children whose parent's record now belongs to another file or folder
// are numbered down from the top of this range: no record, found record or lost folder
// takes a number in it.
inline constexpr std::uint32_t kStaleParentNumbersFirst = 0xF0000000u;
inline constexpr std::uint32_t kStaleParentNumbersLast = 0xFFFFFFFEu;

inline constexpr std::uint8_t kLiveVolume = 0;
inline constexpr std::uint8_t kOlderVolume = 1;

// How the records of one volume are read: its cluster size, and whether that size was
// found on the volume itself (an older volume's may be a guess).
struct FoundVolume {
    std::uint32_t sectorsPerCluster = 0;
    bool verified = false;
    DriveSector start;  // where its cluster 0 lies on the drive
};

// An NTFS boot sector the advance search met outside the live volume's own copies.
struct FoundBootSector {
    DriveSector at;
    std::uint32_t sectorsPerCluster = 0;  // in 512-byte sectors
    std::uint64_t volumeSectors = 0;
    std::uint64_t mftCluster = 0;
};

// The drive read from a later sector on: sector 0 of it is `shift` of the drive.
class ShiftedSectorSource final : public SectorSource {
  public:
    ShiftedSectorSource(SectorSource& drive, std::uint64_t shift) : drive_(drive), shift_(shift) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        return drive_.Read(DriveSector(sector.value() + shift_), buffer);
    }
    std::optional<std::uint64_t> SectorCount() override {
        const auto drive = drive_.SectorCount();
        if (!drive) return std::nullopt;
        return *drive > shift_ ? *drive - shift_ : 0;
    }
    std::uint64_t shift() const { return shift_; }

  private:
    SectorSource& drive_;
    std::uint64_t shift_;
};

struct ScanState {
    ScanState(const DriveGeometry& drive, std::unique_ptr<SectorSource> sectors)
        : geometry(drive), source(std::move(sectors)) {}

    DriveGeometry geometry;
    std::unique_ptr<SectorSource> source;
    // Set by the boot sector validation; empty when the boot sector's cluster number
    // does not fit a sector position.
    std::uint64_t volumeSerial = 0;
    std::optional<DriveSector> mftRecordSector;
    std::optional<DriveSector> mirrorRecordSector;
    MftMap mftMap;
    // Which MFT records the volume counts as in use; none when record 0 keeps no
    // readable bitmap (record headers are then taken at their word).
    std::optional<MftBitmap> mftBitmap;
    // Records kept from the scan's pass over the MFT for the folder tree walk; ReadRecord
    // takes a record from here when it is held.
    RecordCache recordCache;
    // Records read ahead for a recovery (ScanEngine::ReadRecordsAhead), also taken by
    // ReadRecord.
    std::unique_ptr<ReadAheadSource> recordsAhead;
    // Where the folder reader gets INDX blocks from: the scan's read-ahead while the tree
    // walk runs, the drive (source) otherwise.
    SectorSource* indexSource = nullptr;
    SectorSource& IndexSource() { return indexSource != nullptr ? *indexSource : *source; }

    // What a scan fills.
    Catalogue catalogue;
    FolderTable folderTable;
    DirectoryIdList directoryIds;
    // Records the drive-wide search found: entry i is the record catalogued with own
    // number i (in the advance search, entries below the MFT's record count are the
    // MFT's own records).
    std::vector<DriveSector> foundRecords;
    // Entry i tells where found record i came from; shorter than foundRecords when the
    // records past its end were not looked at (they then count as the live volume's).
    std::vector<FoundRecordOrigin> foundOrigins;
    // The volumes found records belong to, indexed by FoundRecordOrigin::volume; none
    // means every record is the live volume's.
    std::vector<FoundVolume> foundVolumes;
    // Numbers given to folders that found records name but that were not found: the lost
    // folders' numbers must stay above them.
    std::uint64_t reservedNumbersEnd = 0;
    // Found records by volume (high 32 bits) and the number they store: the extension
    // records an attribute list names are found through it.
    std::unordered_map<std::uint64_t, std::uint32_t> foundByNumber;
    // Boot sectors of other volumes the advance search met.
    std::vector<FoundBootSector> foundBootSectors;
    std::unique_ptr<ShiftedSectorSource> shiftedSource;
    // Catalogued entries of an older volume read with a cluster size not found on it.
    std::uint32_t unverifiedEntries = 0;
    ScanCounters counters;
    std::uint64_t totalSize = 0;
    std::uint32_t folderCounter = 0;
    std::uint32_t lostFolderCounter = 0;
    bool advanceSearched = false;
    // The deeper scan: the folder tree is walked through every folder's index as well.
    bool readIndexes = false;

    // Shown the records of the scan's pass over the MFT (none outside a scan).
    MftRecordObserver* mftObserver = nullptr;

    // The stop request of the scan under way (none outside a scan).
    const StopFlag* stop = nullptr;
    bool StopRequested() const { return stop != nullptr && stop->load(); }

    std::uint32_t recordSize() const { return geometry.recordSize; }
    std::uint32_t recordSectors() const { return geometry.recordSize / 512; }
    // What the drive can hold, the bound of every count taken from the volume's own
    // fields (unbounded for a state made by hand without a size): the volume's size, and
    // never more than the disk under it holds, whatever the boot sector claims.
    std::uint64_t volumeSectors() const {
        const std::uint64_t volume =
            geometry.sizeInSectors != 0 ? geometry.sizeInSectors : UINT64_MAX;
        const std::uint64_t disk = source ? source->SectorCount().value_or(UINT64_MAX) : UINT64_MAX;
        return std::min(volume, disk);
    }

    // Finds the MFT's runs from record 0 (or its mirror), extension records included.
    bool LocateMft();
    // Reads MFT record k (from every run it is split over), as stored: no fix-up
    // applied. False when k is past the MFT's end or the read failed.
    bool ReadRecord(RecordNumber record, RecordBuffer& bytes);
    // Reads one record's bytes at a drive sector.
    bool ReadRecordAt(DriveSector sector, RecordBuffer& bytes);
    bool ReadCataloguedRecord(std::uint32_t ownNumber, RecordBuffer& bytes);
    // The volume the record behind an own number belongs to, and so the cluster size its
    // runs are read with.
    const FoundVolume* VolumeOf(std::uint32_t ownNumber) const;
    std::uint32_t ClusterSectorsOf(std::uint32_t ownNumber) const;
    SectorSource& SourceOf(std::uint32_t ownNumber);
    std::uint32_t MftNumberOf(std::uint32_t ownNumber) const;
    bool ReadRecordBeside(std::uint32_t ownNumber, std::uint32_t mftNumber, RecordBuffer& bytes);

  private:
    bool LocateMftFrom(DriveSector recordSector, bool fromMirror);
};

}  // namespace tarvik
