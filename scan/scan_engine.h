#pragma once
// One scan engine per chosen logical drive: it validates the drive's boot sector, scans
// the drive (and, when asked, searches it for records outside the MFT), and holds what
// the scan found until another drive is chosen. The views and the recovery read that
// through the accessors; only the scan writes it, apart from the check states kept in
// the catalogue's entries.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_table.h"
#include "common/positions.h"
#include "common/reporting.h"
#include "disk/sector_size.h"
#include "disk/sector_source.h"
#include "ntfs/attribute.h"
#include "ntfs/file_record.h"
#include "ntfs/mft_map.h"
#include "scan/observed_record.h"

namespace tarvik {

struct ScanCounters {
    std::uint32_t normalFiles = 0;
    std::uint32_t normalDirectories = 0;
    std::uint32_t lostFiles = 0;
    std::uint32_t lostDirectories = 0;
    std::uint32_t deletedFiles = 0;
    std::uint32_t deletedDirectories = 0;
    // MFT records that could not be read (a bad sector): passed over, the walk goes on
    // with the records after them.
    std::uint32_t unreadableRecords = 0;
};

// Where the drive lies and how its volume is laid out. Every sector count and position
// is in 512-byte sectors, whatever the volume's own sector size (bytesPerSector): on a
// volume of 4096-byte sectors a cluster of one sector has sectorsPerCluster 8.
struct DriveGeometry {
    DiskSector firstSector;
    std::uint64_t sizeInSectors = 0;
    // Set by the boot sector validation (0 before it).
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t bytesPerSector = 0;  // the volume's sector size, 512 or 4096
    std::uint32_t recordSize = 0;      // bytes per MFT record, 1024 or 4096
    DriveSector mftStart;
    DriveSector mftMirrorStart;
    // No cluster size put the MFT where the boot sector says: the boot sector's own is
    // used, and nothing read with it can be called right.
    bool clusterSizeUnverified = false;
};

struct ScanState;
struct ScanSnapshot;

// Sees every record of the scan's one pass over the MFT, so that work which needs every
// record need not read the MFT again.
class MftRecordObserver {
  public:
    virtual ~MftRecordObserver() = default;
    // What the observer takes of a fixed-up record's bytes alone, in steps, as the walk
    // that decodes the record meets its parts: the header, each attribute in record
    // order, the end. Into `into`, its extents appended to `extents`. Called on
    // whichever thread decodes the record: it reads nothing but what it is shown and
    // what the observer was made with.
    virtual void ObserveHeader(const FileRecordHeader& header, ObservedRecord& into,
                               std::vector<ObservedExtent>& extents) const = 0;
    virtual void ObserveAttribute(const Attribute& attribute, ObservedRecord& into,
                                  std::vector<ObservedExtent>& extents) const = 0;
    virtual void ObserveEnd(ObservedRecord& into, std::vector<ObservedExtent>& extents) const = 0;
    // Each readable record whose fix-up holds, fixed up, in number order, with what
    // was observed of it.
    virtual void Record(std::uint64_t number, std::span<const std::uint8_t> record,
                        const ObservedRecord& observed,
                        std::span<const ObservedExtent> extents) = 0;
    // The pass is over: `whole` when it went to the MFT's last record (not when a stop
    // request cut it short, nor when no MFT was found and nothing was passed over).
    virtual void PassEnded(bool whole) = 0;
};

class ScanEngine {
  public:
    // The drive of `sizeInSectors` sectors from `firstSector` on `disk`, read through
    // the disk's reader.
    ScanEngine(std::shared_ptr<Disk> disk, DiskSector firstSector, std::uint64_t sizeInSectors);
    // The drive read from any sector source: a shadow copy of a drive of `disk`, or (in
    // tests and fuzzing, with no disk) bytes in memory.
    ScanEngine(std::shared_ptr<Disk> disk, DiskSector firstSector, std::uint64_t sizeInSectors,
               std::unique_ptr<SectorSource> source);
    // For tests of what reads a scanned drive: an engine over a state made by hand
    // (scan/scan_state.h).
    explicit ScanEngine(std::unique_ptr<ScanState> state);
    ~ScanEngine();
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;

    // Reads the boot sector, or its backup at the drive's end; takes the sector,
    // cluster and record sizes and the MFT's places from the copy that passes. Shows the
    // FAT-drive message and fails when neither copy is an NTFS boot sector.
    bool ValidateBootSector(Notifier& notifier);

    // The normal scan of a validated drive: normal entries (the folder tree from the
    // root, or every in-use record when the root cannot be read), deleted entries, lost
    // ones, then the folder table and the total size. A stop request ends the reading
    // within a record or a chunk; what was catalogued until then stays, each entry whole
    // and counted, and is given its folders as after a full scan. The observer, when
    // given, is shown the records of the pass over the MFT as they are read.
    void Scan(ProgressSink& progress, Notifier& notifier, const StopFlag* stop = nullptr,
              MftRecordObserver* observer = nullptr);

    // The scans after this call walk every folder's index too (a deeper, slower scan:
    // index blocks lie all over the drive); it lists the names only a stale index entry
    // still holds. By default the scan takes everything from its one pass over the MFT.
    void SetReadFolderIndexes(bool read);
    bool readsFolderIndexes() const;

    // After Scan: adds the records found on the drive outside the MFT. True when it found
    // any (the folder table is then rebuilt); the catalogue is unchanged otherwise, and
    // when a stop request came before the search had gone over the whole drive.
    bool AdvanceSearch(ProgressSink& progress, const StopFlag* stop = nullptr);

    // After Scan: adds entries found apart from the file system (files carved from free
    // clusters, with their made-up folders) at the catalogue's end, then rebuilds the
    // folder table and the counters. Returns how many the catalogue took: a full one
    // refuses the rest.
    std::size_t AppendFoundEntries(std::span<const CatalogueEntry> entries, ProgressSink& progress);
    // The first of the numbers that no record of the drive and no entry has: made-up
    // entries numbered from it are never mistaken for a record.
    std::uint32_t UnusedNumbersFrom() const;

    const Catalogue& catalogue() const;
    // The check states live in the catalogue's entries; nothing else may be changed.
    Catalogue& catalogue();
    const FolderTable& folderTable() const;
    const ScanCounters& counters() const;
    std::uint64_t totalSize() const;
    bool advanceSearched() const;
    const DriveGeometry& geometry() const;
    // The disk the drive lies on; nothing for a drive read from memory.
    const std::shared_ptr<Disk>& disk() const { return disk_; }

    // Reads the record behind a catalogue entry's own number, as stored (no fix-up):
    // through the MFT when the number lies inside it, else at the sector the drive-wide
    // search found it at. `record` is sized to the volume's record size.
    bool ReadCataloguedRecord(std::uint32_t ownNumber, RecordBuffer& record);
    // The cluster size, in 512-byte sectors, that the runs of the record behind an own
    // number are read with: an older volume's records found by the advance search have
    // their own volume's.
    std::uint32_t ClusterSectorsOf(std::uint32_t ownNumber) const;
    // The sectors the record's runs count from: the drive, or the drive from where an
    // older volume began when that was elsewhere.
    SectorSource& SourceOf(std::uint32_t ownNumber);
    // Where that is on the drive: sector 0 but for an older volume that began elsewhere.
    DriveSector VolumeStartOf(std::uint32_t ownNumber) const;
    // For a record found outside the MFT that belongs to this volume and stores its own
    // number (a copy in $MFTMirr, or an earlier state of a record left elsewhere): the
    // number of the MFT record it is a copy of. Nothing for every other record.
    std::optional<std::uint32_t> LiveMftNumberOf(std::uint32_t ownNumber) const;
    // The record number to name a catalogued entry by where a user compares it with the
    // volume's MFT (a recovery report): its own number, but for the live volume's records
    // that a scan without a readable MFT found by searching the drive (numbered there by
    // the search's table), the MFT number the record stores or its place tells.
    std::uint32_t RecordNumberOf(std::uint32_t ownNumber) const;
    // The MFT number the record behind an own number has on its volume (the number itself
    // for a record read through the MFT), and the record of that volume with another MFT
    // number, as stored: how the extension records of its attribute list are found.
    std::uint32_t MftNumberOf(std::uint32_t ownNumber) const;
    bool ReadRecordBeside(std::uint32_t ownNumber, std::uint32_t mftNumber, RecordBuffer& record);
    // Entries of an older volume whose cluster size could not be found on the drive:
    // their runs are read with this volume's, and their bytes are unverified.
    std::uint32_t unverifiedEntries() const;
    // Reads the MFT records of the given numbers (in ascending order) in a few large
    // reads in disk order, and holds them for ReadCataloguedRecord until
    // ForgetRecordsAhead, up to kRecordsAheadBytes (the rest is read when asked for). A
    // record that could not be read is not held: asking for it reads it again.
    static constexpr std::size_t kRecordsAheadBytes = 16u << 20;
    void ReadRecordsAhead(const std::vector<std::uint32_t>& numbers, const StopFlag* stop);
    void ForgetRecordsAhead();
    // Where the MFT record of that number lies on the drive (ReadCataloguedRecord reads it
    // there): nothing past the MFT's end, or when the scan found no MFT.
    std::optional<RecordPlace> MftRecordPlace(std::uint32_t number) const;
    SectorSource& source();

    // Hands every MFT record, in number order, to `visit` as stored (no fix-up); records
    // that cannot be read are passed over. False, visiting nothing, when the scan found
    // no MFT (a drive whose records were searched for instead). A stop request ends it
    // between records.
    using RecordVisitor = std::function<void(std::uint64_t number, std::span<std::uint8_t> record)>;
    bool VisitMftRecords(const RecordVisitor& visit, const StopFlag* stop = nullptr);
    // The MFT's record count (0 when no MFT was found).
    std::uint64_t mftRecordCount() const;

    // The scan's state besides the catalogue, for keeping it (scan/scan_snapshot.h).
    ScanSnapshot Snapshot() const;
    // Takes a kept scan over this validated drive: its state and its catalogue, taken
    // whole (the capacity stays this engine's); the MFT's place is read from the
    // drive and the folder table made again. False, keeping nothing, when the drive's
    // layout is not the snapshot's or its MFT cannot be found.
    bool Reopen(const ScanSnapshot& snapshot, Catalogue catalogue);
    // The volume's serial number, as its boot sector states it.
    std::uint64_t volumeSerial() const;

  private:
    std::unique_ptr<ScanState> state_;
    std::shared_ptr<Disk> disk_;
};

}  // namespace tarvik
