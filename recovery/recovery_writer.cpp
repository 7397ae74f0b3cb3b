#include "recovery/recovery_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/written_over_probe.h"
#include "catalogue/entry_date.h"
#include "catalogue/reached_folders.h"
#include "catalogue/tree_placement.h"
#include "ntfs/attribute.h"
#include "ntfs/file_record.h"
#include "ntfs/record_summary.h"
#include "ntfs/standard_information.h"
#include "recovery/destination_check.h"
#include "recovery/fd_outputs.h"
#include "recovery/file_filter.h"
#include "recovery/forward_source.h"
#include "recovery/part_file_descriptors.h"
#include "recovery/recovery_texts.h"
#include "recovery/recovery_writer_parts.h"
#include "recovery/safe_names.h"
#include "recovery/sha256.h"
#include "recovery/unique_fd.h"
#include "scan/scan_engine.h"

namespace tarvik {
namespace {

// Passes the bytes on, hashing them on the way when a report wants their SHA-256.
class HashingOutput final : public DataOutput {
  public:
    HashingOutput(DataOutput& next, bool hash) : next_(next), hash_(hash) {}
    bool Write(std::span<const std::uint8_t> bytes) override {
        if (hash_) sha_.Update(bytes);
        return next_.Write(bytes);
    }
    std::string HexDigest() { return hash_ ? sha_.HexDigest() : std::string(); }

  private:
    DataOutput& next_;
    bool hash_;
    Sha256 sha_;
};

// The SHA-256 of a file as it was written, read back through its folder without following
// a link; what cannot be read back is left out of the sum.
std::string HashWrittenFile(int folderFd, const std::string& name, std::uint64_t length) {
    Sha256 sha;
    UniqueFd fd(::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<std::uint8_t> buffer(std::min<std::uint64_t>(length, 1u << 20));
    std::uint64_t done = 0;
    while (fd.valid() && done < length) {
        const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        sha.Update(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)));
        done += static_cast<std::uint64_t>(got);
    }
    return sha.HexDigest();
}

timespec TimeSpecOf(std::uint64_t fileTime) {
    // FILETIME counts 100 ns from 1601-01-01; the Unix epoch is 11644473600 s later.
    constexpr std::int64_t kEpochShift = 11'644'473'600;
    const auto seconds = static_cast<std::int64_t>(fileTime / 10'000'000) - kEpochShift;
    return timespec{static_cast<time_t>(seconds), static_cast<long>(fileTime % 10'000'000) * 100};
}

// No room is left on the destination: every further file would fail the same way.
bool DestinationFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

std::string WithArgument(const char* text, const std::string& argument) {
    std::string message(text);
    const std::size_t at = message.find("%s");
    if (at != std::string::npos) message.replace(at, 2, argument);
    return message;
}

std::string WithArguments(const char* text, const std::string& first, const std::string& second) {
    return WithArgument(WithArgument(text, first).c_str(), second);
}

// Creates (an existing one is no error) and opens a folder inside `parentFd`, never
// following a link planted at its name.
int OpenFolder(int parentFd, const std::string& name) {
    if (::mkdirat(parentFd, name.c_str(), 0755) != 0 && errno != EEXIST) return -1;
    return ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

constexpr int kCreateNew = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
// The planned folders begin with the destination, then the recovery's top folder.
constexpr std::uint32_t kRootPlannedFolder = 1;
// The name a file is written under until it is whole: hidden, short enough for any file
// system, and never one a recovered file is given (those come from the catalogue, and a
// clash only moves the part file on to the next number).
constexpr const char* kPartFilePrefix = ".tarvik-part-";

// Renames `from` to `to` in one folder unless `to` exists: 0, or the errno (EEXIST when
// the name is taken). File systems without the kernel's no-replace rename get a hard link
// and an unlink, and those without hard links a look before the rename. `leftError`
// receives why `from` stayed beside `to` when the link was made but the unlink failed.
int RenameWithoutReplacing(int folderFd, const std::string& from, const std::string& to,
                           int& leftError) {
    leftError = 0;
    if (::renameat2(folderFd, from.c_str(), folderFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    if (::linkat(folderFd, from.c_str(), folderFd, to.c_str(), 0) == 0) {
        if (::unlinkat(folderFd, from.c_str(), 0) != 0) leftError = errno;
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    struct stat existing {};
    if (::fstatat(folderFd, to.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(folderFd, from.c_str(), folderFd, to.c_str()) == 0 ? 0 : errno;
}
// Files whose pieces lie apart on the drive and are written as the reading comes to
// each are held open (a sweep spans the whole drive, so a file split over it
// stays open long: past this many, the one used longest ago is closed, and opened again
// when the reading comes to its next piece).
constexpr std::size_t kOpenFiles = 128;
// Finished files wait for their names in groups of this many, or of this many bytes.
constexpr std::size_t kPublishFiles = 256;
constexpr std::uint64_t kPublishBytes = 256u << 20;

}  // namespace

RecoveryWriter::RecoveryWriter(ScanEngine& engine, ProgressSink& progress, Notifier& notifier,
                               const StopFlag* stop)
    : engine_(engine), progress_(progress), notifier_(notifier), stop_(stop) {}

RecoveryWriter::~RecoveryWriter() = default;

RecoveryResult RecoveryWriter::Run(const RecoveryPlan& plan, const std::string& diskPath) {
    if (plan.marks != nullptr) marks_ = plan.marks;
    return Run(plan.destination, plan.mode, diskPath);
}

RecoveryResult RecoveryWriter::Run(const std::string& destination, RecoveryMode mode,
                                   const std::string& diskPath) {
    result_ = RecoveryResult{};
    mode_ = mode;
    foldersOpened_.clear();
    folders_.clear();
    jobs_.clear();
    if (!diskPath.empty() && DestinationOnDisk(diskPath, destination)) {
        notifier_.Notify(kDestinationOnScannedDiskText, kAppCaption, NoticeIcon::Error);
        result_.refused = true;
        return result_;
    }
    const std::string rootPath = destination + "/" + kRecoveryRootName;
    std::error_code ignored;
    std::filesystem::create_directories(destination, ignored);
    UniqueFd destinationFd(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int rootFd =
        destinationFd.valid() ? OpenFolder(destinationFd.get(), kRecoveryRootName) : -1;
    if (rootFd < 0) {
        notifier_.Notify(WithArgument(kCannotCreateDirectoryText, rootPath),
                         kDiskWriteProtectedCaption, NoticeIcon::Warning);
        ++result_.creationFailures;
        return result_;
    }
    result_.rootCreated = true;
    foldersOpened_.insert(kRootFolderNumber);
    folders_.push_back(PlannedFolder{kNoFolder, destination, {}});
    PlanTree(rootFd, AddFolder(0, kRecoveryRootName));
    if (!Stopped()) PlanUnplaced(destinationFd.get(), destination);
    // Every name is given out: the sets of names taken are not needed any more (a name
    // that turns up taken when its file is created sends it to the next free one).
    for (PlannedFolder& folder : folders_) folder.names = FolderNames();
    TallyPlanned();
    if (!Stopped()) {
        FolderDescriptors folders(folders_, destinationFd.get());
        WriteAll(folders);
        // Writing into a folder moves its times: they are set once all of it is written.
        for (std::uint32_t folder = 1; folder < folders_.size(); ++folder) {
            if (folders_[folder].entry == SIZE_MAX) continue;
            const int fd = folders.Open(folder);
            if (fd >= 0) SetFolderTimes(folders_[folder].entry, fd);
        }
        if (const int fd = folders.Open(kRootPlannedFolder); fd >= 0) SetRootTimes(fd);
    }
    result_.stopped = stop_ != nullptr && stop_->load();
    jobs_.clear();
    folders_.clear();
    return result_;
}

std::uint32_t RecoveryWriter::AddFolder(std::uint32_t parent, const std::string& name,
                                        std::size_t entry) {
    folders_.push_back(PlannedFolder{parent, name, {}, entry});
    return static_cast<std::uint32_t>(folders_.size() - 1);
}

bool RecoveryWriter::Wanted(const CatalogueEntry& entry, std::size_t index) const {
    const CheckMark mark = marks_ != nullptr ? marks_->Of(index) : CheckMark::kUnchecked;
    return PlanTakes(mode_, entry, mark);
}

// A folder on the path being planned: its open descriptor, its children and the next
// child whose folder is to be looked at.
struct RecoveryWriter::FolderLevel {
    FolderLevel(UniqueFd folderFd, std::uint32_t number, std::uint32_t planned,
                const Catalogue& catalogue)
        : fd(std::move(folderFd)),
          children(catalogue.ChildrenOf(number).ToVector()),
          folder(planned) {}

    UniqueFd fd;
    std::vector<std::size_t> children;
    std::size_t nextChild = 0;
    std::uint32_t folder;
};

bool RecoveryWriter::PlanFiles(FolderLevel& level) {
    const Catalogue& catalogue = engine_.catalogue();
    for (std::size_t index : level.children) {
        const CatalogueEntry& entry = catalogue.At(index);
        if (entry.IsDirectory()) continue;
        if (Stopped()) return false;
        if (!Wanted(entry, index)) {
            progress_.SetText(kSlotSavingText, std::string(kFilteringNormalFileText) +
                                                   kElidedFolders + std::string(entry.Name()));
            continue;
        }
        PlanFile(entry, index, level.fd.get(), level.folder);
    }
    return true;
}

void RecoveryWriter::PlanTree(int rootFd, std::uint32_t rootFolder) {
    const Catalogue& catalogue = engine_.catalogue();
    std::vector<FolderLevel> levels;
    levels.emplace_back(UniqueFd(rootFd), kRootFolderNumber, rootFolder, catalogue);
    if (!PlanFiles(levels.back())) return;
    while (!levels.empty()) {
        FolderLevel& level = levels.back();
        if (level.nextChild == level.children.size()) {
            levels.pop_back();
            continue;
        }
        const std::size_t entryIndex = level.children[level.nextChild++];
        const CatalogueEntry& entry = catalogue.At(entryIndex);
        if (!entry.IsDirectory() || !Wanted(entry, entryIndex)) continue;
        if (Stopped()) return;
        const std::uint32_t number = entry.number;  // a packed field: copied, not bound
        const std::string name = folders_[level.folder].names.Claim(SafeName(entry.Name()));
        UniqueFd childFd(OpenFolder(level.fd.get(), name));
        if (!childFd.valid()) {
            FolderFailed(FolderPath(level.folder) + "/" + name, errno);
            continue;
        }
        // A folder number met before (a loop of parents, a record catalogued twice)
        // gets its folder but is not filled a second time.
        if (!foldersOpened_.insert(number).second) continue;
        const std::uint32_t child = AddFolder(level.folder, name, entryIndex);
        levels.emplace_back(std::move(childFd), number, child, catalogue);
        if (!PlanFiles(levels.back())) return;
    }
}

// Claims the file's name as a file-by-file walk would on creating it: a file of size 0
// is passed over (after its name is claimed), a filtered one too, and a name already in
// the destination sends it to the next free name.
void RecoveryWriter::PlanFile(const CatalogueEntry& entry, std::size_t index, int folderFd,
                              std::uint32_t folder) {
    const std::string safeName = SafeName(entry.Name());
    FolderNames& names = folders_[folder].names;
    std::string name = names.Claim(safeName);
    std::unique_ptr<FileDataMap> map;
    if (entry.IsCarved() && maps_ != nullptr) {
        if (auto found = maps_->MapOf(index))
            map = std::make_unique<FileDataMap>(std::move(*found));
    }
    // A size of 0 may come from a record the scan could not read whole (its data in an
    // extension record): only the record tells an empty file from that.
    if (entry.size == 0) {
        auto found = MapEngineFileData(engine_, entry.number);
        if (!found || found->realSize == 0) {
            ++result_.skippedEmpty;
            return;
        }
        map = std::make_unique<FileDataMap>(std::move(*found));
    }
    if (!FilterPasses(entry.Name(), filter_)) {
        progress_.SetText(kSlotSavingText, std::string(kFilteringFileText) + kElidedFolders +
                                               std::string(entry.Name()));
        ++result_.skippedFiltered;
        return;
    }
    if (conditions_ != nullptr && index < conditions_->Count() &&
        !ConditionPasses(conditions_->Condition(index).condition, choice_)) {
        ++result_.skippedCondition;
        return;
    }
    struct stat existing {};
    while (::fstatat(folderFd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        name = names.Claim(safeName);
    const std::uint64_t length = map ? map->realSize : entry.size;
    jobs_.push_back(
        FileJob{index, folder, std::move(name), std::move(map), 0, {}, {}, 0, length, {}, false});
}

// Entries the walk from the root never reached, because no folder from the root leads
// to their parent (folders whose parents loop): written side by side into
// DESTINATION/Unplaced, as listings show them side by side under "?".
void RecoveryWriter::PlanUnplaced(int destinationFd, const std::string& destination) {
    const Catalogue& catalogue = engine_.catalogue();
    // Whatever the mode lets through: a checked file under an unchecked folder is not an
    // unplaced one.
    ReachedFolders reached(catalogue);
    std::vector<std::size_t> unplaced;
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        if (!reached.Contains(catalogue.ParentAt(i)) && Wanted(catalogue.At(i), i))
            unplaced.push_back(i);
    }
    if (unplaced.empty()) return;
    UniqueFd folderFd(OpenFolder(destinationFd, kUnplacedFolderName));
    if (!folderFd.valid()) {
        FolderFailed(destination + "/" + kUnplacedFolderName, errno);
        return;
    }
    const std::uint32_t folder = AddFolder(0, kUnplacedFolderName);
    for (std::size_t index : unplaced) {
        if (Stopped()) return;
        const CatalogueEntry& entry = catalogue.At(index);
        if (!entry.IsDirectory()) {
            PlanFile(entry, index, folderFd.get(), folder);
            continue;
        }
        const std::string name = folders_[folder].names.Claim(SafeName(entry.Name()));
        UniqueFd made(OpenFolder(folderFd.get(), name));
        if (!made.valid()) FolderFailed(FolderPath(folder) + "/" + name, errno);
    }
}

void RecoveryWriter::FolderFailed(const std::string& path, int error) {
    ++result_.creationFailures;
    if (DestinationFull(error)) {
        DestinationIsFull(path);
        return;
    }
    const char* text =
        (error == EMFILE || error == ENFILE) ? kTooDeepText : kCannotCreateDirectoryText;
    notifier_.Notify(WithArgument(text, path), kDiskWriteProtectedCaption, NoticeIcon::Warning);
}

void RecoveryWriter::DestinationIsFull(const std::string& where) {
    if (result_.destinationFull) return;
    result_.destinationFull = true;
    notifier_.Notify(WithArgument(kDestinationFullText, where), kDiskWriteProtectedCaption,
                     NoticeIcon::Error);
}

// A file that could not be written whole is removed: no file in the destination is
// shorter than the one on the drive. It counts as failed, and a full destination ends
// the recovery.
void RecoveryWriter::FileFailed(int folderFd, const FileJob& job, int error) {
    Settle(job);
    RemovePartFile(folderFd, job);
    ++result_.filesFailed;
    if (DestinationFull(error)) {
        DestinationIsFull(FilePath(job));
        return;
    }
    notifier_.Notify(WithArguments(kFileNotWrittenText, FilePath(job), std::strerror(error)),
                     kDiskWriteProtectedCaption, NoticeIcon::Warning);
}

std::string RecoveryWriter::FilePath(const FileJob& job) const {
    return FolderPath(job.folder) + "/" + job.name;
}

// Built from the folder's parents when a message or a report row needs it: a path kept
// per folder would hold a chain of folders n deep n times over. A path longer than
// kMaxShownPathBytes keeps the destination and the folders nearest the file, and shows
// how many were left out between them.
std::string RecoveryWriter::FolderPath(std::uint32_t folder) const {
    std::vector<const std::string*> names;
    std::size_t bytes = 0;
    std::uint32_t at = folder;
    for (; at != 0 && at != kNoFolder; at = folders_[at].parent) {
        bytes += folders_[at].name.size() + 1;
        if (bytes > kMaxShownPathBytes && !names.empty()) break;
        names.push_back(&folders_[at].name);
    }
    std::string path = folders_[0].name;
    if (at != 0 && at != kNoFolder) {
        std::size_t left = 0;
        for (; at != 0 && at != kNoFolder; at = folders_[at].parent) ++left;
        path += "/" + ShortenedFoldersName(left);
    }
    for (auto name = names.rbegin(); name != names.rend(); ++name) path += "/" + **name;
    return path;
}

namespace {

// Where a file written whole begins on the drive: its first stored cluster.
std::uint64_t FirstSector(const FileDataMap& map, std::uint32_t sectorsPerCluster) {
    const DataRun* first = nullptr;
    for (const DataRun& run : map.runs) {
        if (!run.sparse && (first == nullptr || run.vcn < first->vcn)) first = &run;
    }
    if (first == nullptr) return 0;
    const auto sector = ClusterStart(first->lcn, sectorsPerCluster);
    return sector ? sector->value() : UINT64_MAX;
}

// One piece of a pending file, or a file written whole, at its place on the drive.
struct DiskStep {
    std::uint64_t sector;
    std::size_t file;
    std::size_t piece;  // SIZE_MAX: the file written whole
};

// Every piece of every pending file (each file's pieces, or its map when it has none),
// in the order of its place on the drive; ties keep the files' order.
template <typename PendingFiles>
std::vector<DiskStep> DiskOrderSteps(const PendingFiles& pending, std::uint32_t spc) {
    std::vector<DiskStep> steps;
    for (std::size_t f = 0; f < pending.size(); ++f) {
        const auto& file = pending[f];
        if (file.pieces.empty()) steps.push_back({FirstSector(*file.map, spc), f, SIZE_MAX});
        for (std::size_t p = 0; p < file.pieces.size(); ++p)
            steps.push_back({file.pieces[p].sector.value(), f, p});
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const DiskStep& a, const DiskStep& b) { return a.sector < b.sector; });
    return steps;
}

// The gaps the sweep reads through: at most 1/16 of what it reads is read for nothing.
// A file written whole counts from its first sector on, its other reads unknown here.
constexpr std::uint64_t kGapBudgetDivisor = 16;
template <typename PendingFiles>
GapPlan SweepGapPlan(const std::vector<DiskStep>& steps, const PendingFiles& pending,
                     std::uint32_t spc) {
    std::vector<ReadSpan> reads;
    reads.reserve(steps.size());
    for (const DiskStep& step : steps) {
        const auto& file = pending[step.file];
        if (file.copiedAlong) continue;  // read before the sweep
        const std::uint64_t clusters =
            step.piece == SIZE_MAX ? 0 : file.pieces[step.piece].clusters;
        reads.push_back({step.sector, clusters * spc});
    }
    return PlanGaps(reads, ForwardSource::kMaxGapSectors, kGapBudgetDivisor);
}

}  // namespace

// Every piece of every pending file in the order of its place on the drive: a file is
// created when the reading comes to its first piece, each piece is written at its
// place in the file, and the file is finished when its last piece is written. A file
// whose pieces lie apart is written piece by piece as well, its descriptor held in
// between or, past kOpenFiles such files, given up and its part file opened again. A stop
// leaves no file cut short: those begun are removed.
void RecoveryWriter::WriteInDiskOrder(std::vector<PendingFile>& pending,
                                      FolderDescriptors& folders) {
    const std::uint32_t spc = engine_.geometry().sectorsPerCluster;
    const std::vector<DiskStep> steps = DiskOrderSteps(pending, spc);
    data_->SetGapPlan(SweepGapPlan(steps, pending, spc));
    PartFileDescriptors apartFiles(kOpenFiles);
    std::size_t shown = SIZE_MAX;  // the file the progress shows
    CopyOptions options{nullptr, stop_, maxRequestBytes_};
    options.volumeSectors = engine_.geometry().sizeInSectors;
    for (const DiskStep& step : steps) {
        if (Stopped()) break;
        PendingFile& file = pending[step.file];
        if (file.done) continue;
        FileJob& job = jobs_[file.job];
        if (StepWithoutCopy(file, step.piece == SIZE_MAX, folders)) continue;
        const bool apart = file.pieces.size() > 1;
        if (job.partName.empty()) {
            file.fd = CreateFile(job, folders);
            if (file.fd < 0) {
                file.done = true;
                continue;
            }
            if (apart) apartFiles.Hold(step.file, std::exchange(file.fd, -1));
        }
        if (apart) file.fd = apartFiles.Get(step.file, folders.Open(job.folder), job.partName);
        if (file.fd < 0) {
            const int error = errno;
            file.done = true;
            FileFailed(folders.Open(job.folder), job, error);
            continue;
        }
        if (shown != step.file) ShowFileProgress(file);
        shown = step.file;
        PwriteOutput output(file.fd);
        std::optional<ProbingSource> probing;
        if (job.probe) probing.emplace(*data_, *job.probe);
        SectorSource& source = probing ? static_cast<SectorSource&>(*probing) : *data_;
        const CopyResult copy = CopyPiece(file.pieces[step.piece], file.length, source, spc, output,
                                          options, [&](std::uint64_t bytes) {
                                              file.writtenSectors += (bytes + 511) / 512;
                                              progress_.SetPosition(file.writtenSectors);
                                          });
        result_.unreadableSectors += copy.unreadableSectors;
        job.unreadableSectors += copy.unreadableSectors;
        // Done with, a file split over the drive takes its descriptor back from those held.
        const bool last = copy.writeFailed || --file.remaining == 0;
        if (apart) file.fd = last ? apartFiles.Take(step.file) : -1;
        if (copy.stopped) break;
        if (copy.writeFailed) {
            if (file.fd >= 0) ::close(std::exchange(file.fd, -1));
            file.done = true;
            FileFailed(folders.Open(job.folder), job, output.error());
        } else if (last) {
            file.done = true;
            FinishFile(job, file.fd, file.length, folders);
        }
    }
}

// Steps that copy nothing here: those of a file copied already (finished at its last
// piece), and a file written whole. False for a piece to copy.
bool RecoveryWriter::StepWithoutCopy(PendingFile& file, bool whole, FolderDescriptors& folders) {
    FileJob& job = jobs_[file.job];
    if (file.copiedAlong) {
        if (--file.remaining == 0) {
            file.done = true;
            FinishFile(job, file.fd, file.length, folders);
        }
        return true;
    }
    if (!whole) return false;
    file.done = true;
    WriteWhole(job, file.map.get(), folders);
    return true;
}

// A file taken up again shows the range still to write: a range is counted as the
// sectors written in it, and the part written before was counted.
void RecoveryWriter::ShowFileProgress(const PendingFile& file) {
    progress_.SetText(kSlotSavingText, FilePath(jobs_[file.job]));
    progress_.SetRange(file.writtenSectors, (file.length + 511) / 512);
    progress_.SetPosition(file.writtenSectors);
}

int RecoveryWriter::CreateFile(FileJob& job, FolderDescriptors& folders) {
    const int folderFd = folders.Open(job.folder);
    int fd = -1;
    if (folderFd >= 0) {
        do {
            job.partName = kPartFilePrefix + std::to_string(nextPartNumber_++);
            fd = ::openat(folderFd, job.partName.c_str(), kCreateNew, 0644);
        } while (fd < 0 && errno == EEXIST);
    }
    if (fd >= 0) return fd;
    const int error = errno;
    Settle(job);
    ++result_.creationFailures;
    ++result_.filesFailed;
    if (DestinationFull(error)) {
        DestinationIsFull(FilePath(job));
        return -1;
    }
    notifier_.Notify(WithArgument(kErrorCreatingFileText, FilePath(job)),
                     kDiskWriteProtectedCaption, NoticeIcon::Warning);
    return -1;
}

void RecoveryWriter::WriteWhole(FileJob& job, const FileDataMap* map, FolderDescriptors& folders) {
    if (map == nullptr) {
        FileUnreadable(job);
        return;
    }
    int fd = CreateFile(job, folders);
    if (fd < 0) return;
    std::uint64_t written = 0;
    {
        if (!map->resident) progress_.SetText(kSlotSavingText, FilePath(job));
        FdOutput output(fd);
        HashingOutput hashed(output, report_ != nullptr);
        CopyOptions options{&progress_, stop_, maxRequestBytes_};
        options.volumeSectors = engine_.geometry().sizeInSectors;
        // An older volume's record reads its runs with that volume's cluster size and from
        // where it began; the live volume's go through the forward reader.
        const std::uint32_t number = engine_.catalogue().At(job.entry).number;
        SectorSource& own = engine_.SourceOf(number);
        SectorSource& drive = &own == &engine_.source() && data_ != nullptr ? *data_ : own;
        std::optional<ProbingSource> probing;
        if (job.probe && &own == &engine_.source()) probing.emplace(drive, *job.probe);
        SectorSource& source = probing ? static_cast<SectorSource&>(*probing) : drive;
        const CopyResult copy =
            CopyFileData(*map, source, engine_.ClusterSectorsOf(number), hashed, options);
        if (copy.stopped) {
            RemovePartFile(folders.Open(job.folder), job);
            ::close(fd);
            return;
        }
        job.unreadableSectors = copy.unreadableSectors;
        result_.unreadableSectors += copy.unreadableSectors;
        if (copy.writeFailed) {
            ::close(fd);
            FileFailed(folders.Open(job.folder), job, output.error());
            return;
        }
        written = copy.bytesWritten;
        job.sha256 = hashed.HexDigest();
    }
    FinishFile(job, fd, written, folders);
}

// The file's last byte is written: it is closed and dated, and waits for its name (see
// PublishFinished); only then does it count as written and get its report row.
void RecoveryWriter::FinishFile(FileJob& job, int& fd, std::uint64_t written,
                                FolderDescriptors& folders) {
    const CatalogueEntry& entry = engine_.catalogue().At(job.entry);
    const int folderFd = folders.Open(job.folder);
    const std::string path = FilePath(job);
    UniqueFd owned(std::exchange(fd, -1));
    if (const int error = owned.Close(); error != 0) {
        FileFailed(folderFd, job, error);
        return;
    }
    if (job.probe) {
        job.writtenAgain = job.probe->WrittenOver();
        job.probe.reset();
        if (job.writtenAgain) {
            result_.writtenAgain.push_back(entry.number);
            // Its condition is unknown now: a choice that lets no unknown file through
            // leaves it out after all.
            if (!ConditionPasses(FileCondition::kUnknown, choice_)) {
                RemovePartFile(folderFd, job);
                ++result_.skippedCondition;
                return;
            }
        }
    }
    // A file written piece by piece in disk order is hashed from what was written. Reading
    // it back moves its access time: it is read before its times are set.
    if (report_ != nullptr && job.sha256.empty())
        job.sha256 = HashWrittenFile(folderFd, job.partName, written);
    SetFileDate(entry, job.entry, folderFd, job.partName, path);
    job.written = written;
    Settle(job);
    finished_.push_back(static_cast<std::size_t>(&job - jobs_.data()));
    finishedBytes_ += written;
    if (finished_.size() >= kPublishFiles || finishedBytes_ >= kPublishBytes)
        PublishFinished(folders);
}

// The files finished since the last time take their names, once the file system holds
// their bytes: a power cut leaves a file under its own name only when it is whole. One
// flush serves many files, so that small files do not each wait for the disk.
void RecoveryWriter::PublishFinished(FolderDescriptors& folders) {
    if (finished_.empty()) return;
    ::syncfs(folders.Open(0));  // a file system that cannot flush is no reason to stop
    for (const std::size_t index : finished_) {
        FileJob& job = jobs_[index];
        const int folderFd = folders.Open(job.folder);
        if (const int error = PublishFile(job, folderFd); error != 0) {
            FileFailed(folderFd, job, error);
            continue;
        }
        ++result_.filesWritten;
        result_.bytesWritten += job.written;
        if (PartlyUnreadable(job)) ++result_.filesPartlyUnreadable;
        if (report_ != nullptr) AddReportRow(job);
    }
    finished_.clear();
    finishedBytes_ = 0;
}

void RecoveryWriter::AddReportRow(FileJob& job) {
    const CatalogueEntry& entry = engine_.catalogue().At(job.entry);
    const std::uint32_t number = entry.number;  // a packed field: copied, not bound
    const std::uint64_t unreadable = job.unreadableSectors;
    ReportRow row;
    row.path = FilePath(job);
    row.size = job.written;
    row.sha256 = std::move(job.sha256);
    const std::size_t index = job.entry;
    const bool known = conditions_ != nullptr && index < conditions_->Count();
    row.condition = PartlyUnreadable(job) ? ConditionWord(FileCondition::kPartlyUnreadable)
                    : job.writtenAgain || !known
                        ? ConditionWord(FileCondition::kUnknown)
                        : ConditionWord(conditions_->Condition(index).condition);
    row.record = engine_.RecordNumberOf(number);
    if (entry.IsCarved() && maps_ != nullptr) {
        if (const auto map = maps_->MapOf(index); map && !map->runs.empty())
            row.firstCluster = map->runs.front().lcn.value();
    }
    if (const EntryTimes* times = TimesOf(index)) row.times = *times;
    row.unreadableSectors = unreadable;
    report_->Add(std::move(row));
}

// Gives a whole file its own name: until then it lies under its part name, so that a run
// cut short by anything (a signal that cannot be caught, a power cut) leaves no file that
// looks whole and is not. A name taken since it was planned sends it to the next free one.
int RecoveryWriter::PublishFile(FileJob& job, int folderFd) {
    const CatalogueEntry& entry = engine_.catalogue().At(job.entry);
    for (;;) {
        int leftError = 0;
        const int error = RenameWithoutReplacing(folderFd, job.partName, job.name, leftError);
        if (leftError != 0) PartFileLeft(job, leftError);
        if (error != EEXIST) return error;
        job.name = folders_[job.folder].names.Claim(SafeName(entry.Name()));
    }
}

// A file written with zeros where its data cannot be read: sectors that could not be, or
// clusters its condition says are missing (a run list cut short, past the image's end).
bool RecoveryWriter::PartlyUnreadable(const FileJob& job) const {
    if (job.unreadableSectors != 0) return true;
    return conditions_ != nullptr && job.entry < conditions_->Count() &&
           conditions_->Condition(job.entry).condition == FileCondition::kPartlyUnreadable;
}

// A part file that is not to become a file goes; one that cannot be removed is said,
// so that no incomplete file stays in the destination unannounced.
void RecoveryWriter::RemovePartFile(int folderFd, const FileJob& job) {
    if (::unlinkat(folderFd, job.partName.c_str(), 0) == 0 || errno == ENOENT) return;
    PartFileLeft(job, errno);
}

void RecoveryWriter::PartFileLeft(const FileJob& job, int error) {
    ++result_.partFilesLeft;
    notifier_.Notify(WithArguments(kPartFileLeftText, FolderPath(job.folder) + "/" + job.partName,
                                   std::strerror(error)),
                     kDiskWriteProtectedCaption, NoticeIcon::Warning);
}

// A file whose record cannot be read or decoded: nothing is created for it, and the
// report names it where it would have been written.
void RecoveryWriter::FileUnreadable(const FileJob& job) {
    Settle(job);
    ++result_.filesUnreadable;
    notifier_.Notify(WithArgument(kFileUnreadableText, FilePath(job)), kUnreadableCaption,
                     NoticeIcon::Warning);
    if (report_ == nullptr) return;
    const CatalogueEntry& entry = engine_.catalogue().At(job.entry);
    ReportRow row;
    row.path = FilePath(job);
    row.sha256 = "-";
    row.condition = ConditionWord(FileCondition::kUnreadable);
    row.record = engine_.RecordNumberOf(entry.number);
    if (const EntryTimes* times = TimesOf(job.entry)) row.times = *times;
    report_->Add(std::move(row));
}

void RecoveryWriter::TallyPlanned() {
    settled_.assign(jobs_.size(), 0);
    if (tally_ == nullptr) return;
    std::uint64_t bytes = 0;
    for (const FileJob& job : jobs_) bytes += job.length;
    tally_->filesTotal = jobs_.size();
    tally_->bytesTotal = bytes;
    tally_->filesDone = 0;
    tally_->bytesDone = 0;
    tally_->planned = true;
}

void RecoveryWriter::Settle(const FileJob& job) {
    const auto index = static_cast<std::size_t>(&job - jobs_.data());
    if (index >= settled_.size() || settled_[index] != 0) return;
    settled_[index] = 1;
    if (tally_ == nullptr) return;
    tally_->filesDone += 1;
    tally_->bytesDone += job.length;
}

const EntryTimes* RecoveryWriter::TimesOf(std::size_t index) const {
    if (conditions_ == nullptr || index >= conditions_->Count()) return nullptr;
    return &conditions_->Times(index);
}

void RecoveryWriter::SetFolderTimes(std::size_t entryIndex, int fd) {
    if (conditions_ == nullptr || entryIndex >= conditions_->Count()) return;
    const EntryTimes& times = conditions_->Times(entryIndex);
    if (times.modification == 0) return;
    const timespec both[2] = {TimeSpecOf(times.access ? times.access : times.modification),
                              TimeSpecOf(times.modification)};
    ::futimens(fd, both);  // a folder keeps the time of now when it refuses: nothing is lost
}

void RecoveryWriter::SetRootTimes(int fd) {
    RecordBuffer record;
    if (!engine_.ReadCataloguedRecord(kRootFolderNumber, record) || !PrepareFileRecord(record))
        return;
    const ByteView view(record.data(), record.size());
    // Only the root's own record: a drive searched without its MFT numbers found records
    // otherwise, and number 5 may be any of them.
    const auto summary = SummarizeRecord(view);
    if (!summary || !summary->isDirectory || summary->name() != "." ||
        summary->parentRecord != kRootFolderNumber)
        return;
    const auto attribute = FindAttribute(view, attribute_type::kStandardInformation);
    if (!attribute || !attribute->isResident()) return;
    const auto si = StandardInformation::Parse(attribute->Value());
    if (!si || si->modificationTime == 0) return;
    const timespec both[2] = {TimeSpecOf(si->accessTime ? si->accessTime : si->modificationTime),
                              TimeSpecOf(si->modificationTime)};
    ::futimens(fd, both);
}

// The file's own modification and access times, to the 100 ns NTFS keeps, when its
// record gave them; else its creation day.
void RecoveryWriter::SetFileDate(const CatalogueEntry& entry, std::size_t index, int folderFd,
                                 const std::string& name, const std::string& path) {
    timespec times[2];
    const EntryTimes* known = TimesOf(index);
    if (known != nullptr && known->modification != 0) {
        times[0] = TimeSpecOf(known->access ? known->access : known->modification);
        times[1] = TimeSpecOf(known->modification);
    } else {
        const CalendarDate date = EntryDate(entry);
        std::tm day{};
        day.tm_year = date.year - 1900;
        day.tm_mon = date.month - 1;
        day.tm_mday = date.day;
        times[0] = times[1] = timespec{::timegm(&day), 0};
    }
    if (::utimensat(folderFd, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        ++result_.datesNotSet;
        notifier_.Notify(WithArguments(kDateNotSetText, path, std::strerror(errno)),
                         kDateNotSetCaption, NoticeIcon::Warning);
    }
}

}  // namespace tarvik
