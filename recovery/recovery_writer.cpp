#include "recovery/recovery_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>
#include <vector>

#include "catalogue/entry_date.h"
#include "ntfs/scan_engine.h"
#include "recovery/destination_check.h"
#include "recovery/file_filter.h"
#include "recovery/recovery_texts.h"
#include "recovery/safe_names.h"
#include "recovery/sha256.h"

namespace tarvik {
namespace {

// Owns one open file descriptor: every way out of a folder or a file closes it.
class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now: 0, or the error close reported (a write the file system had taken in
    // may still fail here, on a network or a full file system).
    int Close() {
        const int fd = std::exchange(fd_, -1);
        if (fd < 0 || ::close(fd) == 0) return 0;
        return errno == EINTR ? 0 : errno;  // after EINTR the descriptor is gone, the data kept
    }

  private:
    int fd_;
};

class FdOutput final : public DataOutput {
  public:
    explicit FdOutput(int fd) : fd_(fd) {}
    bool Write(std::span<const std::uint8_t> bytes) override {
        while (!bytes.empty()) {
            const ssize_t done = ::write(fd_, bytes.data(), bytes.size());
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) {
                // A write that takes nothing without an error has no room left.
                error_ = done < 0 ? errno : ENOSPC;
                return false;
            }
            bytes = bytes.subspan(static_cast<std::size_t>(done));
        }
        return true;
    }
    int error() const { return error_; }

  private:
    int fd_;
    int error_ = 0;
};

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

}  // namespace

RecoveryWriter::RecoveryWriter(ScanEngine& engine, ProgressSink& progress, Notifier& notifier,
                               const StopFlag* stop)
    : engine_(engine), progress_(progress), notifier_(notifier), stop_(stop) {}

RecoveryResult RecoveryWriter::Run(const std::string& destination, RecoveryMode mode,
                                   const std::string& diskPath) {
    result_ = RecoveryResult{};
    mode_ = mode;
    foldersOpened_.clear();
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
    RecoverTree(rootFd, rootPath);
    if (!Stopped()) RecoverUnplaced(destinationFd.get(), destination);
    result_.stopped = stop_ != nullptr && stop_->load();
    return result_;
}

bool RecoveryWriter::Wanted(const CatalogueEntry& entry) const {
    switch (mode_) {
        case RecoveryMode::kAll:
            return true;
        case RecoveryMode::kDeleted:
            return entry.IsDirectory() || entry.IsDeleted();
        case RecoveryMode::kSelected:
            return entry.checkState == kCheckChecked ||
                   (entry.IsDirectory() && entry.checkState == kCheckPartly);
    }
    return false;
}

// A folder on the path being recovered: its open descriptor, its children, the names
// given out in it so far and the next child whose folder is to be looked at.
struct RecoveryWriter::FolderLevel {
    FolderLevel(UniqueFd folderFd, std::uint32_t number, std::size_t pathEnd,
                const Catalogue& catalogue, std::size_t index = SIZE_MAX)
        : fd(std::move(folderFd)),
          entryIndex(index),
          children(catalogue.ChildrenOf(number).ToVector()),
          pathLength(pathEnd) {}

    UniqueFd fd;
    std::size_t entryIndex;  // of the folder's catalogue entry; SIZE_MAX for the root
    std::vector<std::size_t> children;
    FolderNames names;
    std::size_t nextChild = 0;
    std::size_t pathLength;  // of the folder's path, for messages
};

bool RecoveryWriter::WriteFiles(FolderLevel& level) {
    const Catalogue& catalogue = engine_.catalogue();
    for (std::size_t index : level.children) {
        const CatalogueEntry& entry = catalogue.At(index);
        if (entry.IsDirectory()) continue;
        if (Stopped()) return false;
        if (!Wanted(entry)) {
            progress_.SetText(kSlotSavingText, std::string(kFilteringNormalFileText) +
                                                   kElidedFolders + std::string(entry.Name()));
            continue;
        }
        WriteFile(entry, level.fd.get(), path_, level.names);
    }
    return true;
}

void RecoveryWriter::RecoverTree(int rootFd, const std::string& rootPath) {
    const Catalogue& catalogue = engine_.catalogue();
    path_ = rootPath;
    std::vector<FolderLevel> levels;
    levels.emplace_back(UniqueFd(rootFd), kRootFolderNumber, path_.size(), catalogue);
    if (!WriteFiles(levels.back())) return;
    while (!levels.empty()) {
        FolderLevel& level = levels.back();
        if (level.nextChild == level.children.size()) {
            SetFolderTimes(level.entryIndex, level.fd.get());
            levels.pop_back();
            if (!levels.empty()) path_.resize(levels.back().pathLength);
            continue;
        }
        const std::size_t entryIndex = level.children[level.nextChild++];
        const CatalogueEntry& entry = catalogue.At(entryIndex);
        if (!entry.IsDirectory() || !Wanted(entry)) continue;
        if (Stopped()) return;
        const std::uint32_t number = entry.number;  // a packed field: copied, not bound
        const std::string name = level.names.Claim(SafeName(entry.Name()));
        UniqueFd childFd(OpenFolder(level.fd.get(), name));
        if (!childFd.valid()) {
            FolderFailed(path_ + "/" + name, errno);
            continue;
        }
        // A folder number met before (a loop of parents, a record catalogued twice)
        // gets its folder but is not filled a second time.
        if (!foldersOpened_.insert(number).second) continue;
        path_ += "/" + name;
        levels.emplace_back(std::move(childFd), number, path_.size(), catalogue, entryIndex);
        if (!WriteFiles(levels.back())) return;
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

// Entries the walk from the root never reached, because no folder from the root leads
// to their parent (folders whose parents loop): written side by side into
// DESTINATION/Unplaced, as listings show them side by side under "?".
void RecoveryWriter::RecoverUnplaced(int destinationFd, const std::string& destination) {
    const Catalogue& catalogue = engine_.catalogue();
    // The folder numbers some chain of folders from the root leads to, whatever the mode
    // lets through: a checked file under an unchecked folder is not an unplaced one.
    std::unordered_set<std::uint32_t> reached{kRootFolderNumber};
    std::vector<std::uint32_t> pending{kRootFolderNumber};
    while (!pending.empty()) {
        const std::uint32_t folder = pending.back();
        pending.pop_back();
        for (std::size_t index : catalogue.ChildrenOf(folder).ToVector()) {
            const CatalogueEntry& child = catalogue.At(index);
            const std::uint32_t number = child.number;
            if (child.IsDirectory() && reached.insert(number).second) pending.push_back(number);
        }
    }
    std::vector<std::size_t> unplaced;
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        const CatalogueEntry& entry = catalogue.At(i);
        const std::uint32_t parent = entry.parent;
        if (!reached.contains(parent) && Wanted(entry)) unplaced.push_back(i);
    }
    if (unplaced.empty()) return;
    path_ = destination + "/" + kUnplacedFolderName;
    UniqueFd folderFd(OpenFolder(destinationFd, kUnplacedFolderName));
    if (!folderFd.valid()) {
        FolderFailed(path_, errno);
        return;
    }
    FolderNames names;
    for (std::size_t index : unplaced) {
        if (Stopped()) return;
        const CatalogueEntry& entry = catalogue.At(index);
        if (!entry.IsDirectory()) {
            WriteFile(entry, folderFd.get(), path_, names);
            continue;
        }
        const std::string name = names.Claim(SafeName(entry.Name()));
        UniqueFd made(OpenFolder(folderFd.get(), name));
        if (!made.valid()) FolderFailed(path_ + "/" + name, errno);
    }
}

// A file that could not be written whole is removed: no file in the destination is
// shorter than the one on the drive. It counts as failed, and a full destination ends
// the recovery.
void RecoveryWriter::FileFailed(int folderFd, const std::string& path, const std::string& name,
                                int error) {
    ::unlinkat(folderFd, name.c_str(), 0);
    ++result_.filesFailed;
    if (DestinationFull(error)) {
        DestinationIsFull(path + "/" + name);
        return;
    }
    notifier_.Notify(WithArguments(kFileNotWrittenText, path + "/" + name, std::strerror(error)),
                     kDiskWriteProtectedCaption, NoticeIcon::Warning);
}

void RecoveryWriter::WriteFile(const CatalogueEntry& entry, int folderFd, const std::string& path,
                               FolderNames& names) {
    const std::string safeName = SafeName(entry.Name());
    std::string name = names.Claim(safeName);
    const std::uint32_t number = entry.number;
    std::optional<FileDataMap> map;
    // The catalogue keeps the low 32 bits of the size: a file of a whole multiple of
    // 4 GiB shows 0 there, and only its record tells it from an empty one.
    if (entry.size == 0) {
        map = MapEngineFileData(engine_, number);
        if (!map || map->realSize == 0) {
            ++result_.skippedEmpty;
            return;
        }
    }
    if (!FilterPasses(entry.Name(), filter_)) {
        progress_.SetText(kSlotSavingText, std::string(kFilteringFileText) + kElidedFolders +
                                               std::string(entry.Name()));
        ++result_.skippedFiltered;
        return;
    }
    if (conditions_ != nullptr && IndexOf(entry) < conditions_->Count() &&
        !ConditionPasses(conditions_->Condition(IndexOf(entry)).condition, choice_)) {
        ++result_.skippedCondition;
        return;
    }
    constexpr int kCreateNew = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd(::openat(folderFd, name.c_str(), kCreateNew, 0644));
    while (!fd.valid() && errno == EEXIST) {
        name = names.Claim(safeName);
        fd = UniqueFd(::openat(folderFd, name.c_str(), kCreateNew, 0644));
    }
    if (!fd.valid()) {
        const int error = errno;
        ++result_.creationFailures;
        ++result_.filesFailed;
        if (DestinationFull(error)) {
            DestinationIsFull(path + "/" + name);
            return;
        }
        notifier_.Notify(WithArgument(kErrorCreatingFileText, name), kDiskWriteProtectedCaption,
                         NoticeIcon::Warning);
        return;
    }
    if (!map) map = MapEngineFileData(engine_, number);
    std::uint64_t written = 0;
    std::uint64_t unreadable = 0;
    std::string sha256;
    if (!map) {
        ++result_.filesWithoutData;
    } else {
        if (!map->resident) progress_.SetText(kSlotSavingText, path + "/" + name);
        FdOutput output(fd.get());
        HashingOutput hashed(output, report_ != nullptr);
        CopyOptions options{&progress_, stop_, maxRequestBytes_};
        options.volumeSectors = engine_.geometry().sizeInSectors;
        const CopyResult copy = CopyFileData(*map, engine_.source(),
                                             engine_.geometry().sectorsPerCluster, hashed, options);
        if (copy.stopped) {
            ::unlinkat(folderFd, name.c_str(), 0);
            return;
        }
        unreadable = copy.unreadableSectors;
        result_.unreadableSectors += unreadable;
        if (copy.writeFailed) {
            fd.Close();
            FileFailed(folderFd, path, name, output.error());
            return;
        }
        written = copy.bytesWritten;
        sha256 = hashed.HexDigest();
    }
    if (const int error = fd.Close(); error != 0) {
        FileFailed(folderFd, path, name, error);
        return;
    }
    SetFileDate(entry, folderFd, name, path + "/" + name);
    ++result_.filesWritten;
    result_.bytesWritten += written;
    if (report_ != nullptr) {
        if (sha256.empty()) sha256 = Sha256().HexDigest();  // a file left empty
        ReportRow row;
        row.path = path + "/" + name;
        row.size = written;
        row.sha256 = std::move(sha256);
        const std::size_t index = IndexOf(entry);
        const bool known = conditions_ != nullptr && index < conditions_->Count();
        row.condition = unreadable != 0 ? "partly unreadable"
                        : known         ? ConditionWord(conditions_->Condition(index).condition)
                                        : ConditionWord(FileCondition::kUnknown);
        row.record = number;
        if (const EntryTimes* times = TimesOf(entry)) row.times = *times;
        row.unreadableSectors = unreadable;
        report_->Add(std::move(row));
    }
}

std::size_t RecoveryWriter::IndexOf(const CatalogueEntry& entry) const {
    const Catalogue& catalogue = engine_.catalogue();
    if (catalogue.Count() == 0) return SIZE_MAX;
    return static_cast<std::size_t>(&entry - &catalogue.At(0));
}

const EntryTimes* RecoveryWriter::TimesOf(const CatalogueEntry& entry) const {
    const std::size_t index = IndexOf(entry);
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

// The file's own modification and access times, to the 100 ns NTFS keeps, when its
// record gave them; else its creation day.
void RecoveryWriter::SetFileDate(const CatalogueEntry& entry, int folderFd, const std::string& name,
                                 const std::string& path) {
    timespec times[2];
    const EntryTimes* known = TimesOf(entry);
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
        notifier_.Notify(WithArguments(kDateNotSetText, path, std::strerror(errno)), kFatCaption,
                         NoticeIcon::Warning);
    }
}

}  // namespace tarvik
