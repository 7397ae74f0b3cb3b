#pragma once
// Rebuilds the catalogued folders under DESTINATION/Root and writes the chosen files
// into them, read from the scanned drive: all entries, the deleted ones, or those the
// views checked. Never writes to the scanned disk, and refuses a destination on it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "analysis/file_condition.h"
#include "catalogue/catalogue_entry.h"
#include "catalogue/check_marks.h"
#include "common/reporting.h"
#include "disk/sector_source.h"
#include "filedata/entry_data_maps.h"
#include "filedata/file_data_copy.h"
#include "recovery/recovery_plan.h"
#include "recovery/recovery_report.h"
#include "recovery/recovery_tally.h"
#include "recovery/safe_names.h"

namespace tarvik {

class ScanEngine;
class FileFilter;
class ForwardSource;

struct RecoveryResult {
    std::uint64_t filesWritten = 0;
    std::uint64_t bytesWritten = 0;
    std::uint64_t skippedFiltered = 0;
    // Files of size 0, passed over without being created.
    std::uint64_t skippedEmpty = 0;
    // Files passed over for their condition (the condition choice lets them not through).
    std::uint64_t skippedCondition = 0;
    // Files whose record could not be read or decoded: where their data lies is not
    // known, so none is written (an empty file would pass for a recovered one). Each
    // has a report row saying "unreadable".
    std::uint64_t filesUnreadable = 0;
    // Files written whole in length but with zeros where their data cannot be read
    // (unreadable sectors, a run list cut short, clusters past the image's end); counted
    // in filesWritten too.
    std::uint64_t filesPartlyUnreadable = 0;
    // Files that could not be created, or whose data could not all be written, closed
    // or whose descriptor failed to close; not counted as written. A file not written
    // whole is removed again, so none is left shorter than on the drive.
    std::uint64_t filesFailed = 0;
    // Files written whole whose date could not be set (each reported).
    std::uint64_t datesNotSet = 0;
    // Files and folders that could not be created (each reported through the notifier).
    // A folder that could be created but not opened, as when the destination's
    // descriptors run out on a very deep path, counts here too; what lies below it is
    // not written.
    std::uint64_t creationFailures = 0;
    std::uint64_t unreadableSectors = 0;
    // Incomplete files left under their hidden part name because they could not be
    // removed (each reported).
    std::uint64_t partFilesLeft = 0;
    // Records of deleted files called intact by who holds their clusters whose bytes,
    // read for this recovery, show another file written over them since.
    std::vector<std::uint32_t> writtenAgain;
    bool stopped = false;
    bool refused = false;  // the destination lies on the scanned disk
    // The destination ran out of space (or quota): reported once, and the recovery
    // stopped there.
    bool destinationFull = false;
    bool rootCreated = false;  // DESTINATION/Root exists and could be entered
};

class RecoveryWriter {
  public:
    RecoveryWriter(ScanEngine& engine, ProgressSink& progress, Notifier& notifier,
                   const StopFlag* stop = nullptr);
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    // Writes from the root folder into destination/Root. The destination is refused,
    // with a message, when it lies on the disk the engine reads (diskPath: that disk's
    // image file or device; empty skips the check).
    RecoveryResult Run(const std::string& destination, RecoveryMode mode,
                       const std::string& diskPath);
    // The same for a plan: its destination, mode, and marks when it has its own (the
    // condition choice, report and tally are set below).
    RecoveryResult Run(const RecoveryPlan& plan, const std::string& diskPath);

    // The marks a recovery of the checked entries (RecoveryMode::kSelected) writes: checked
    // entries, and partly checked folders for the way to them. None (the default): nothing
    // is checked.
    void SetSelection(const CheckMarks* marks) { marks_ = marks; }

    // The file-name filter applied to each file; none (the default) lets every file through.
    void SetFileFilter(const FileFilter* filter) { filter_ = filter; }

    // The conditions and times of the catalogue's entries (indexed like it): files get
    // their modification and access times from it, and the choice below applies. None
    // (the default): files get their creation day, and every condition passes.
    void SetConditions(const ConditionTable* table, ConditionChoice choice) {
        conditions_ = table;
        choice_ = choice;
    }
    // A row for each file written, with the SHA-256 of its bytes; none (the default)
    // keeps no report and hashes nothing.
    void SetReport(RecoveryReport* report) { report_ = report; }

    // Counts the files to write and those done, for a display on another thread; none (the
    // default) counts nothing.
    void SetTally(RecoveryTally* tally) { tally_ = tally; }
    // Where entries without a record of their own (carved files) keep their data; none
    // (the default): every file is mapped from its record.
    void SetEntryDataMaps(const EntryDataMaps* maps) { maps_ = maps; }

    // The largest read request (tests use small ones to stop mid-file).
    void SetMaxRequestBytes(std::size_t bytes) { maxRequestBytes_ = bytes; }

  private:
    struct FolderLevel;
    struct PlannedFolder;
    struct FileJob;
    struct PendingFile;
    class FolderDescriptors;

    // The recovery runs in two passes. The first walks the folders depth-first from the
    // root as a listing shows them (each folder's files before its sub-folders, one open
    // descriptor per level of the current path and no recursion), creates every folder
    // and gives each wanted file its name: the names are exactly those a file-by-file
    // walk would give. The second reads the files' records in MFT order and their data
    // in the order of its place on the drive, and writes each file as its data comes in.
    void PlanTree(int rootFd, std::uint32_t rootFolder);
    // Plans the wanted files among a folder's children. False when stopped.
    bool PlanFiles(FolderLevel& level);
    void PlanFile(const CatalogueEntry& entry, std::size_t index, int folderFd,
                  std::uint32_t folder);
    void PlanUnplaced(int destinationFd, const std::string& destination);
    std::uint32_t AddFolder(std::uint32_t parent, const std::string& name,
                            std::size_t entry = SIZE_MAX);
    bool Wanted(const CatalogueEntry& entry, std::size_t index) const;

    // The second pass: files in batches of records read ahead in MFT order.
    void WriteAll(FolderDescriptors& folders);
    void MapBatch(const std::vector<std::size_t>& order, std::size_t first, std::size_t last,
                  std::vector<PendingFile>& pending, FolderDescriptors& folders);
    void TakeMap(std::size_t jobIndex, std::unique_ptr<FileDataMap> map,
                 std::vector<PendingFile>& pending, FolderDescriptors& folders);
    bool OfLiveVolume(std::uint32_t number);
    PendingFile Pending(std::size_t jobIndex, std::unique_ptr<FileDataMap> map,
                        std::vector<DataPiece> pieces) const;
    std::unique_ptr<FileDataMap> MapFromKept(std::uint32_t number);
    std::optional<PendingFile> MftFileToCopy(std::size_t jobIndex);
    std::size_t MapAlongMftCopy(const std::vector<std::size_t>& order, std::size_t end,
                                std::vector<PendingFile>& pending, FolderDescriptors& folders);
    bool CopyMftStretch(PendingFile& file, const DataPiece& part, const CopyOptions& options,
                        FolderDescriptors& folders);
    void WriteInDiskOrder(std::vector<PendingFile>& pending, FolderDescriptors& folders);
    void AbandonPending(std::vector<PendingFile>& pending, FolderDescriptors& folders);
    bool StepWithoutCopy(PendingFile& file, bool whole, FolderDescriptors& folders);
    void ShowFileProgress(const PendingFile& file);
    // Creates a planned file under its name, or under the next free " (n)" name when one
    // of that name appeared since: nothing there is overwritten. -1 when it could not be
    // created (reported and counted).
    int CreateFile(FileJob& job, FolderDescriptors& folders);
    // Writes a file from its first byte to its last in one go (resident and compressed
    // files, and those whose data is not plain runs).
    void WriteWhole(FileJob& job, const FileDataMap* map, FolderDescriptors& folders);
    // A file whose last byte is written: dated and closed. Where a file is finished.
    void FinishFile(FileJob& job, int& fd, std::uint64_t written, FolderDescriptors& folders);
    std::string FilePath(const FileJob& job) const;

    void FileFailed(int folderFd, const FileJob& job, int error);
    // Removes a file's part name; says so when it cannot (PartFileLeft).
    void RemovePartFile(int folderFd, const FileJob& job);
    void PartFileLeft(const FileJob& job, int error);
    void FileUnreadable(const FileJob& job);
    // A file is done with, whichever way: counted once in the tally.
    void Settle(const FileJob& job);
    void TallyPlanned();
    bool PartlyUnreadable(const FileJob& job) const;
    // Renames a whole file from its part name to its own: 0, or the errno.
    int PublishFile(FileJob& job, int folderFd);
    void PublishFinished(FolderDescriptors& folders);
    void AddReportRow(FileJob& job);
    std::string FolderPath(std::uint32_t folder) const;
    void FolderFailed(const std::string& path, int error);
    void DestinationIsFull(const std::string& where);
    void SetFileDate(const CatalogueEntry& entry, std::size_t index, int folderFd,
                     const std::string& name, const std::string& path);
    // A folder's times, once everything inside it is written.
    void SetFolderTimes(std::size_t entryIndex, int fd);
    // The recovery's top folder stands for the volume's root folder: it takes its times.
    void SetRootTimes(int fd);
    const EntryTimes* TimesOf(std::size_t index) const;
    // A stop request, or a destination with no room left.
    bool Stopped() const { return result_.destinationFull || (stop_ != nullptr && stop_->load()); }

    ScanEngine& engine_;
    ProgressSink& progress_;
    Notifier& notifier_;
    const StopFlag* stop_;
    const FileFilter* filter_ = nullptr;
    const CheckMarks* marks_ = nullptr;
    const ConditionTable* conditions_ = nullptr;
    ConditionChoice choice_ = ConditionChoice::kAny;
    RecoveryReport* report_ = nullptr;
    RecoveryTally* tally_ = nullptr;
    std::vector<char> settled_;  // by job
    const EntryDataMaps* maps_ = nullptr;
    RecoveryMode mode_ = RecoveryMode::kAll;
    std::size_t maxRequestBytes_ = 4u << 20;
    std::uint64_t nextPartNumber_ = 0;
    std::vector<std::size_t> finished_;  // jobs whole under their part names
    std::uint64_t finishedBytes_ = 0;
    std::unordered_set<std::uint32_t> foldersOpened_;
    std::vector<PlannedFolder> folders_;
    std::vector<FileJob> jobs_;
    // Where file data is read from while the second pass runs: the drive, read on
    // through short gaps between one file's data and the next.
    ForwardSource* data_ = nullptr;
    RecoveryResult result_;
};

}  // namespace tarvik
