#pragma once
// The one door through which both front ends reach the core: the disks, a disk's
// logical drives (its partition table, or the search of the whole disk), the chosen
// drive opened and scanned, its check marks, its file filter, and the recovery of its
// files. Every long call is synchronous, reports through a ProgressSink and a Notifier,
// and ends early when its stop flag is set; the desktop program runs them on a worker
// thread, the command line directly.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "analysis/file_condition.h"
#include "common/reporting.h"
#include "disk/disk_check.h"
#include "disk/disk_table.h"
#include "filedata/file_data_window.h"
#include "partition/drive_list.h"
#include "recovery/destination_check.h"
#include "recovery/file_filter.h"
#include "recovery/file_versions.h"
#include "recovery/recovery_report.h"
#include "recovery/recovery_writer.h"
#include "session/check_tree.h"

namespace tarvik {

class ScanEngine;
class SavedScan;
class VersionMarks;
struct SavedDiskIdentity;
class CarvedFiles;
struct CarvedFile;

inline constexpr const char* kCarveCaption = "Carve Free Space";
inline constexpr const char* kCarvingMapText = "Finding free clusters...";
inline constexpr const char* kCarvingText = "Carving free clusters...";

// What carving the free space found.
struct CarveSummary {
    std::uint64_t files = 0;
    std::uint64_t partial = 0;  // cut where their structure broke
    std::uint64_t freeClusters = 0;
    std::uint64_t failedReads = 0;
    bool alreadyCarved = false;  // the drive's free space was carved before: nothing new
    bool stopped = false;
    bool failed = false;  // the free clusters could not be told (announced)
};

// A message a recovery gave its notifier (a folder or file that could not be created,
// a date that could not be set), kept for the end-of-recovery summary.
struct RecoveryNotice {
    std::string text;
    std::string caption;
};

// One disk of the disk table, as the disk list shows it.
struct DiskSummary {
    std::string model;
    std::string serial;
    std::uint64_t sectors = 0;
    std::string path;
};

// One Volume Shadow Copy of a drive, as the drive lists show it under its drive.
struct ShadowCopySummary {
    std::size_t number = 0;          // from 1, oldest first
    std::uint64_t creationTime = 0;  // FILETIME, UTC
    std::string label;               // "Shadow copy 2 of drive 1, 2013-12-03 06:37 UTC"
};

// One drive of the drive list, as the drive list shows it.
struct DriveSummary {
    std::string fileSystem;  // "NTFS", "FAT32", ... from the partition type
    std::uint64_t startSector = 0;
    std::uint64_t sizeInSectors = 0;
    std::string sizeText;    // "1.51GB", "1MB"
    bool scannable = false;  // a type a scan accepts (NTFS); others get the FAT-drive message
    std::string name;        // a GPT partition's own name; empty for MBR drives and finds
    bool fromGpt = false;    // a GPT partition (its name is shown, even an empty one)
    // Of a scannable type, and one of its boot sector copies validates as NTFS.
    bool validates = false;
    // Sectors of the drive's volume (as its boot sector, else its partition, states)
    // that lie past the end of the disk: an image cut short. Reading them fails.
    std::uint64_t missingSectors = 0;
    // The drive's Volume Shadow Copies, oldest first (none on a drive without them), and
    // why copies the drive has cannot be read (empty when they can, or there are none).
    std::vector<ShadowCopySummary> shadowCopies;
    std::string shadowProblem;
};

// The versions of each tree path met so far (a version two copies hold is taken once).
using VersionsSeen = std::unordered_map<std::string, std::vector<FileVersionKey>>;

// What writing the versions the shadow copies hold did.
struct VersionsResult {
    std::uint64_t versionsWritten = 0;
    std::uint64_t bytesWritten = 0;
    // Copies that could not be opened or scanned (each reported), and versions whose
    // file could not be moved beside the live one (left in the copy's own folder).
    std::uint64_t copiesSkipped = 0;
    std::uint64_t versionsNotMoved = 0;
    std::uint64_t unreadableSectors = 0;
    bool stopped = false;
};

// What ScanDrive does, in this order: the scan (or the advance search alone, over the
// scan that stands), the advance search, the carving of free space, the conditions.
struct ScanSteps {
    bool scan = true;
    bool advanceSearch = false;
    bool carve = false;
    // The weighing of the conditions moves the bar only: the text the scan left stays.
    bool conditionsBarOnly = false;
};

// What ScanDrive did.
struct ScanOutcome {
    bool stopped = false;
    // The scan said something and catalogued nothing: a boot sector that validates over
    // records none of which could be read (a truncated or damaged image).
    bool readNothing = false;
    std::optional<CarveSummary> carved;  // with ScanSteps::carve
};

// How the drive list of a disk is found.
enum class DriveDiscovery : std::uint8_t {
    kPartitionTable,  // the walk; an empty walk is announced and the search follows
    kSearchDisk,      // the search of the whole disk for NTFS volumes
    // The walk alone: an empty walk is announced and nothing follows, so that a caller
    // can run the search on its own terms (the desktop program, behind its dialog).
    kPartitionTableOnly,
};

enum class DriveOpening : std::uint8_t {
    kOpened,
    kNoSuchDrive,   // the row is past the drive list
    kNotNtfs,       // a FAT (or other) drive: announced
    kInvalidDrive,  // neither boot sector copy is NTFS: announced
};

// The chosen drive's place and geometry, and the scan's counters, for the Drive
// Parameters dialog and the status bar.
struct DriveProperties {
    std::uint8_t driveCode = 0;
    std::uint32_t sectorsPerCluster = 0;
    std::uint64_t partitionStart = 0;
    std::uint64_t partitionSize = 0;
    std::uint64_t mftStart = 0;  // in sectors from the drive's first sector
    std::uint64_t totalFiles = 0;
    std::uint64_t totalDirectories = 0;
    std::uint64_t deletedFiles = 0;
    std::uint64_t deletedDirectories = 0;
    std::uint64_t totalBytes = 0;
    // MFT records the scan could not read (unreadable sectors): their files are missing.
    std::uint64_t unreadableRecords = 0;
};

class RecoverySession {
  public:
    RecoverySession();
    ~RecoverySession();
    RecoverySession(const RecoverySession&) = delete;
    RecoverySession& operator=(const RecoverySession&) = delete;

    // ---- disks
    // Fills the disk table: the image files or devices named (each checked to be
    // readable first), those of TARVIK_DISKS, then, when asked, the machine's disks.
    // Returns why a named path cannot be used; the table is unchanged then. Disks of
    // the list or the machine that cannot be opened are left out of the table (so the
    // disks after them keep their place) and counted for UnreadableDisksNote.
    std::optional<std::string> LoadDisks(const std::vector<std::string>& paths,
                                         bool includeSystemDisks);
    std::vector<DiskSummary> ListDisks() const;
    // Adds one image file (or device) at the end of the disk table and gives its disk
    // number; a path the table holds already gives the number it has. Returns why the
    // path cannot be used; nothing is added then.
    std::optional<std::string> AddDisk(const std::string& path, std::size_t& disk);
    // One line for the user when some disks were left out because they cannot be
    // opened: how many, why, and what to do; nothing when every disk could be opened.
    std::optional<std::string> UnreadableDisksNote() const;

    // ---- drives
    // Makes the drive list of disk `disk` (0 for the first). The list that stood before
    // is set aside until a drive is opened, so that a cancelled choice can bring it back.
    // False, after the FAT-drive message, when neither the walk nor the search found a
    // drive.
    bool FindDrives(std::size_t disk, DriveDiscovery how, ProgressSink& searchProgress,
                    Notifier& notifier, const StopFlag* stop = nullptr);
    // A copy of the current drive list.
    std::vector<LogicalDriveEntry> Drives() const;
    // The rows of the drive list, as both front ends show them: the same list with its
    // texts, whether each drive validates, what its image lacks and its shadow copies.
    std::vector<DriveSummary> ListDrives() const;
    // How many sectors of drive `row`'s volume lie past the disk's end (0 when the disk
    // holds it all, or its size is not known). Reads the drive's boot sector.
    std::uint64_t DriveMissingSectors(std::size_t row) const;
    // The row of the first drive a scan accepts.
    std::optional<std::size_t> FirstNtfsDrive() const;
    // Whether drive `row` is of a type a scan accepts and one of its boot sector copies
    // validates as NTFS. Reads the disk; says nothing.
    bool DriveValidates(std::size_t row) const;
    // The row of the first drive that validates: a disk whose first NTFS-typed
    // partition holds another file system (exFAT shares the type) still has its NTFS
    // drive found.
    std::optional<std::size_t> FirstValidDrive() const;
    // The Volume Shadow Copies of drive `row`, oldest first. A drive without them costs
    // one sector read; `problem`, when given, receives why copies the drive has cannot
    // be read (a damaged store: its copies are left out).
    std::vector<ShadowCopySummary> ShadowCopies(std::size_t row,
                                                std::string* problem = nullptr) const;
    // Brings back the list that stood before the last FindDrives (a cancelled choice).
    bool RestorePreviousDrives();

    // ---- the chosen drive
    // Type check, a new engine for the drive, the boot sector validation. A new drive
    // drops the previous one's engine, check marks and file filter.
    DriveOpening OpenDrive(std::size_t row, Notifier& notifier);
    // Opens shadow copy `copy` (from 1, as ShadowCopies numbers them) of drive `row` as
    // the chosen drive: scanned, browsed and recovered like the drive, read from the
    // volume as it was when the copy was made. kNoSuchDrive, after a message, when the
    // drive has no such copy.
    DriveOpening OpenShadowCopy(std::size_t row, std::size_t copy, Notifier& notifier);
    // Opens the first drive a scan accepts; the FAT-drive message when there is none.
    DriveOpening OpenFirstNtfsDrive(Notifier& notifier);
    bool HasDrive() const { return engine_ != nullptr; }
    // Drops the chosen drive (engine, check marks, file filter) and both drive lists,
    // as closing the program does.
    void CloseDrive();
    // The normal scan (phases 1 to 4). The check marks are rebuilt over its catalogue.
    void Scan(ProgressSink& progress, Notifier& notifier, const StopFlag* stop = nullptr);
    // The whole scan of the open drive: the steps asked for, then what is left of each
    // file (the condition table), unless stopped or nothing was read.
    ScanOutcome ScanDrive(const ScanSteps& steps, ProgressSink& progress, Notifier& notifier,
                          const StopFlag* stop = nullptr);
    // The scans of the open drive walk every folder's index too (ScanEngine's deeper scan).
    void SetReadFolderIndexes(bool read);
    // Adds the records found outside the MFT; true when it found any.
    bool AdvanceSearch(ProgressSink& progress, const StopFlag* stop = nullptr);
    // The same, and says through the notifier when records of an older volume are read
    // with a cluster size not found on the drive (their bytes are then unverified).
    bool AdvanceSearch(ProgressSink& progress, Notifier& notifier, const StopFlag* stop = nullptr);

    // After Scan: finds files by their content in the clusters $Bitmap marks free and no
    // catalogued file claims, and adds them under "Carved Files". Once per scan; a stop
    // keeps the files found until then.
    CarveSummary CarveFreeSpace(ProgressSink& progress, Notifier& notifier,
                                const StopFlag* stop = nullptr);
    // The carved file behind catalogue entry `index` (its first cluster, length, type).
    const CarvedFile* CarvedFileOf(std::size_t index) const;
    // Where the carved entries' bytes lie, as the recovery reads them (a preview reads
    // them the same way); nothing before a carving.
    const EntryDataMaps* CarvedDataMaps() const;

    // Read-only views of the chosen drive (a drive must be open).
    const ScanEngine& Engine() const { return *engine_; }
    const Catalogue& GetCatalogue() const;
    const FolderTable& GetFolderTable() const;
    DriveProperties Properties() const;

    // The check marks of the scanned drive (after Scan).
    // Every entry as the folder tree places it, with its tree path, for a listing: the
    // placement alone, without the check marks' indexes.
    std::vector<PlacedEntry> Placement() const;

    // Placed when first asked for: a recovery of everything never needs them.
    CheckTree& Checks() const;

    // ---- the file filter recoveries of this drive apply
    void SetFileFilter(std::unique_ptr<FileFilter> filter) { filter_ = std::move(filter); }
    const FileFilter* GetFileFilter() const { return filter_.get(); }
    FileFilter* EditFileFilter() { return filter_.get(); }
    bool HoldsFileFilter() const { return filter_ != nullptr; }
    void DropFileFilter() { filter_.reset(); }

    // ---- what is left of each file, and its times
    // The condition and the four $STANDARD_INFORMATION times of every catalogue entry,
    // indexed like the catalogue: made by one more pass over the drive's MFT when first
    // asked for, kept until the catalogue changes (a scan, an advance search). A stop
    // request leaves the rest unknown, and the table is made again when next asked for.
    const ConditionTable& Conditions(ProgressSink& progress, const StopFlag* stop = nullptr);
    // The table when it has been made (nothing otherwise).
    const ConditionTable* MadeConditions() const { return conditions_.get(); }
    // Why catalogue entry `index` has its condition, in words, for a tooltip: "12 of 40
    // clusters now belong to Root/Documents/report.docx". Empty before Conditions().
    std::string ConditionReason(std::size_t index) const;

    // ---- recovery
    // Writes the files the plan chooses (its mode, the check tree's marks or its own,
    // through the file filter and its condition choice) into destination/Root. The
    // destination is refused when it lies on the disk being read.
    RecoveryResult Recover(const RecoveryPlan& plan, ProgressSink& progress, Notifier& notifier,
                           const StopFlag* stop = nullptr);
    // What a recovery found by reading: files called intact whose bytes turned out written
    // over are shown as unknown from then on. Called by the session's owner once the
    // recovery's worker has ended, so that no window reads the conditions while they change.
    void NoteWhatRecoveryRead(const RecoveryResult& result);
    // The bytes of the files the plan writes (before their condition is weighed), for a
    // display of the bytes done.
    std::uint64_t PlannedBytes(const RecoveryPlan& plan) const;
    // Whether a recovery of the deleted files has any to write: deleted files were
    // catalogued, or carved ones.
    bool HasDeletedFiles() const;
    // With plan.versions, after Recover(plan) wrote the files: RecoverVersions for the
    // plan's destination and mode. Nothing otherwise.
    VersionsResult RecoverVersions(const RecoveryPlan& plan, ProgressSink& progress,
                                   Notifier& notifier, const StopFlag* stop = nullptr);
    // After a recovery of the live drive into destination: every version of a chosen file
    // (the mode's, through the file filter) that the drive's shadow copies hold and the
    // live volume does not (VersionDiffers), written beside the live file under its
    // version name ("report (shadow 2013-12-03 0637).docx"), each distinct version once.
    // With the checked entries, a file the live volume no longer has is chosen when the
    // nearest folder above it that the live volume has is checked.
    // Their report rows are added to LastReport(), each naming its copy. `chosen`, when
    // given, holds the check marks in place of the check tree's.
    VersionsResult RecoverVersions(const std::string& destination, RecoveryMode mode,
                                   ProgressSink& progress, Notifier& notifier,
                                   const StopFlag* stop = nullptr,
                                   const CheckTree* chosen = nullptr);
    // After a scan of a live drive: the entries that have older versions in the drive's
    // shadow copies (each copy opened and scanned once, on the caller's thread, without a
    // message for a copy that cannot be read). Nothing, at the cost of one read, for a
    // drive without shadow copies and for a shadow copy opened as the drive. Reads the
    // condition table: call it after Conditions() has made it.
    VersionMarks FindVersions(ProgressSink& progress, const StopFlag* stop = nullptr);
    // Writes the entries at these tree paths ("Root", a folder, a file) as a recovery of
    // the checked entries does, then their versions as RecoverVersions does (a folder's
    // include the files the live volume no longer has). The user's check marks are never
    // changed. `live` receives what the first recovery did.
    VersionsResult RecoverWithVersions(const std::vector<std::string>& treePaths,
                                       const std::string& destination, ProgressSink& progress,
                                       Notifier& notifier, const StopFlag* stop,
                                       RecoveryResult& live);
    // The shadow copy the chosen drive is read from (0: the live volume), and where its
    // files come from in words: "live volume", "shadow copy 2 (2013-12-03 06:37 UTC)".
    std::size_t OpenCopy() const { return openCopy_; }
    std::string SourceName() const;
    // The report of the last Recover that kept one (rows of the files written).
    const RecoveryReport& LastReport() const { return report_; }
    // A plan of that destination and mode, with nothing else asked.
    RecoveryResult Recover(const std::string& destination, RecoveryMode mode,
                           ProgressSink& progress, Notifier& notifier,
                           const StopFlag* stop = nullptr);
    // Whether a recovery into `destination` would be refused: it lies on the disk the
    // scanned drive is read from. Asked before a saving starts, so nothing runs at all.
    bool DestinationOnScannedDisk(const std::string& destination) const;
    // The whole answer: on the disk, certainly elsewhere, or kept where it cannot be told
    // (the front ends ask, or refuse unless told to go on).
    DestinationVerdict JudgeDestinationOf(const std::string& destination) const;
    // Where sysfs is mounted and the mount table, for those questions (tests give
    // made-up ones).
    void SetSystemRoot(std::string sysRoot) { sysRoot_ = std::move(sysRoot); }
    void SetMountTable(std::string mountInfo) { mountInfo_ = std::move(mountInfo); }
    // The messages the last Recover gave, in order (each was also passed on).
    const std::vector<RecoveryNotice>& LastRecoveryNotices() const { return notices_; }

    // ---- the bytes of an entry, as a recovery writes them
    // Up to `length` bytes from `offset` of catalogue entry `index`'s file, read through
    // the data map and copy the recovery writer uses, with the ranges that could not be
    // read (zeros in the bytes). Nothing for a folder, an index past the catalogue, or a
    // file whose record cannot be read or holds no data (a recovery cannot write it
    // either). It reads the drive: not at the same time as another call that does.
    std::optional<DataWindow> ReadEntryData(std::size_t index, std::uint64_t offset,
                                            std::size_t length, const StopFlag* stop = nullptr);

    // ---- a kept scan
    // What tells the open drive and its disk apart from others (reads its first sector).
    SavedDiskIdentity DriveIdentity() const;
    // Writes the scan of the open drive (its catalogue with the check marks, the
    // conditions when weighed, the disk's identity) to `path`, through a file beside it
    // that takes its name at the end: an older file of that name stays whole until then.
    // Returns why it could not.
    std::optional<std::string> SaveScan(const std::string& path) const;
    // Takes a saved scan over the open drive instead of scanning it. Refuses, saying
    // why, a drive that is not the one scanned (another disk, another volume, a boot
    // sector changed since); the drive's state is then unchanged.
    std::optional<std::string> ReopenScan(const SavedScan& saved);
    // The row of the drive list that lies where the saved scan's drive lay.
    std::optional<std::size_t> DriveRowOf(const SavedDiskIdentity& identity) const;

  private:
    // Checks the entries a kept scan had checked.
    void RestoreMarks(const std::vector<CheckMark>& marks);
    // The image file or device the scanned drive is read from.
    std::string ScannedDiskPath() const;
    // The disk the current drive list belongs to.
    std::shared_ptr<Disk> ListedDisk() const;
    // Opens shadow copy `copy` of the open drive in `old` and scans it; false (after a
    // message) when it cannot be opened.
    bool ScanOwnCopy(RecoverySession& old, std::size_t copy, ProgressSink& progress,
                     Notifier& notifier, const StopFlag* stop) const;
    // Writes the versions one shadow copy holds (RecoverVersions).
    void RecoverCopyVersions(const std::string& destination, RecoveryMode mode,
                             const ShadowCopySummary& copy, VersionsSeen& seen,
                             ProgressSink& progress, Notifier& notifier, const StopFlag* stop,
                             const CheckTree& chosen, VersionsResult& result);

    // The disk the current drive list belongs to, and the one of the list set aside:
    // a drive is opened on the disk its list was made from, also after a cancelled
    // choice on another disk brought the older list back.
    std::size_t disk_ = 0;
    // The disks, shared with the sessions that read this one's shadow copies, and the
    // drive list with the one set aside: this session's own, read and changed only
    // through it.
    std::shared_ptr<DiskTable> disks_ = std::make_shared<DiskTable>();
    DriveList drives_;
    // The row of the chosen drive and its shadow copy (0: the live volume).
    std::size_t openRow_ = 0;
    std::size_t openCopy_ = 0;
    std::uint64_t openCopyTime_ = 0;
    std::size_t previousDisk_ = 0;
    std::vector<UnreadableDisk> unreadable_;
    std::unique_ptr<ScanEngine> engine_;
    mutable std::unique_ptr<CheckTree> checks_;
    std::unique_ptr<FileFilter> filter_;
    std::vector<RecoveryNotice> notices_;
    // What the scan's pass over the MFT gathered for the condition table, until it is made.
    std::unique_ptr<ConditionFacts> facts_;
    std::unique_ptr<ConditionTable> conditions_;
    std::unique_ptr<ConditionTable> stoppedConditions_;
    std::unique_ptr<CarvedFiles> carved_;  // a table a stop cut short
    // Catalogue indexes by record number, for naming who holds a file's clusters.
    mutable std::vector<std::pair<std::uint32_t, std::size_t>> byNumber_;
    RecoveryReport report_;
    std::string sysRoot_ = "/sys";
    std::string mountInfo_ = "/proc/self/mountinfo";
};

}  // namespace tarvik
