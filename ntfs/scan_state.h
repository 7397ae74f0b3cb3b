#pragma once
// What a scan engine holds, for the scan's phases inside ntfs/ (and tests that build a
// scanned drive by hand). Everything outside ntfs/ goes through ScanEngine.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/directory_id_list.h"
#include "catalogue/folder_table.h"
#include "ntfs/mft_map.h"
#include "ntfs/read_ahead.h"
#include "ntfs/scan_engine.h"

namespace tarvik {

struct ScanState {
    ScanState(const DriveGeometry& drive, std::unique_ptr<SectorSource> sectors)
        : geometry(drive), source(std::move(sectors)) {}

    DriveGeometry geometry;
    std::unique_ptr<SectorSource> source;
    // Set by the boot sector validation; empty when the boot sector's cluster number
    // does not fit a sector position.
    std::optional<DriveSector> mftRecordSector;
    std::optional<DriveSector> mirrorRecordSector;
    MftMap mftMap;
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
    ScanCounters counters;
    std::uint64_t totalSize = 0;
    std::uint32_t folderCounter = 0;
    std::uint32_t lostFolderCounter = 0;
    bool advanceSearched = false;

    // The stop request of the scan under way (none outside a scan).
    const StopFlag* stop = nullptr;
    bool StopRequested() const { return stop != nullptr && stop->load(); }

    std::uint32_t recordSize() const { return geometry.recordSize; }
    std::uint32_t recordSectors() const { return geometry.recordSize / 512; }
    // What the drive can hold, the bound of every count taken from the volume's own
    // fields (unbounded for a state made by hand without a size).
    std::uint64_t volumeSectors() const {
        return geometry.sizeInSectors != 0 ? geometry.sizeInSectors : UINT64_MAX;
    }

    // Finds the MFT's runs from record 0 (or its mirror), extension records included.
    bool LocateMft();
    // Reads MFT record k (from every run it is split over), as stored: no fix-up
    // applied. False when k is past the MFT's end or the read failed.
    bool ReadRecord(RecordNumber record, RecordBuffer& bytes);
    // Reads one record's bytes at a drive sector.
    bool ReadRecordAt(DriveSector sector, RecordBuffer& bytes);
    bool ReadCataloguedRecord(std::uint32_t ownNumber, RecordBuffer& bytes);

  private:
    bool LocateMftFrom(DriveSector recordSector, bool fromMirror);
};

}  // namespace tarvik
