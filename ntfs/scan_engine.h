#pragma once
// One scan engine per chosen logical drive: the drive's geometry, the MFT's runs, and
// the tables a scan fills (catalogue, folder table, directory list), which the views and
// the recovery writer use until another drive is chosen.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/directory_id_list.h"
#include "catalogue/folder_table.h"
#include "common/reporting.h"
#include "disk/drive_code.h"
#include "disk/sector_source.h"
#include "ntfs/mft_map.h"
#include "ntfs/run_table.h"

namespace tarvik {

struct ScanCounters {
    std::uint32_t normalFiles = 0;
    std::uint32_t normalDirectories = 0;
    std::uint32_t lostFiles = 0;
    std::uint32_t lostDirectories = 0;
    std::uint32_t deletedFiles = 0;
    std::uint32_t deletedDirectories = 0;
};

using MftRecordBytes = std::array<std::uint8_t, kMftRecordSize>;

class ScanEngine {
  public:
    explicit ScanEngine(DriveCode code);
    // For tests and fuzzing: a drive read from any sector source.
    ScanEngine(DriveCode code, std::unique_ptr<SectorSource> source);

    // The chosen partition: first sector and size in sectors.
    void SetDrive(std::uint32_t firstSector, std::uint32_t sizeInSectors);

    // Reads the boot sector, or its backup at the drive's last sector; takes the cluster
    // size and the MFT's places from the copy that passes. Shows the FAT-drive message
    // and fails when neither copy is an NTFS boot sector.
    bool ValidateBootSector(Notifier& notifier);

    // Finds the MFT's runs from record 0 (or its mirror), extension records included.
    bool LocateMft();

    // Reads MFT record k (both halves when it is split over two runs), as stored: no
    // fix-up applied. False when k is past the MFT's end or the read failed.
    bool ReadRecord(std::uint64_t recordNumber, MftRecordBytes& record);

    // Reads the record behind a catalogue entry's own number: through the MFT when the
    // number lies inside it, else at the sector the drive-wide search found it at.
    bool ReadCataloguedRecord(std::uint32_t ownNumber, MftRecordBytes& record);

    SectorSource& source() { return *source_; }
    const MftMap& mftMap() const { return mftMap_; }

    // Geometry.
    DriveCode driveCode;
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t firstSector = 0;
    std::uint32_t lastSector = 0;
    std::uint32_t sizeInSectors = 0;
    std::uint32_t mftStart = 0;        // relative to the first sector
    std::uint32_t mftMirrorStart = 0;  // relative to the first sector
    RunTable mftRuns;
    std::uint64_t mftSectors = 0;

    // What a scan fills.
    Catalogue catalogue;
    FolderTable folderTable;
    DirectoryIdList directoryIds;
    std::vector<std::uint32_t> mftSectorTable;  // absolute sectors of records found by search
    ScanCounters counters;
    std::uint64_t totalSize = 0;
    std::uint32_t folderCounter = 0;
    std::uint32_t lostFolderCounter = 0;
    bool advanceSearch = false;

  private:
    bool LocateMftFrom(std::uint32_t recordSector, bool fromMirror);

    std::unique_ptr<SectorSource> source_;
    MftMap mftMap_;
};

}  // namespace tarvik
