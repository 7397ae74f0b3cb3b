// The Volume Shadow Copies of the session's drives: listed under their drive, opened and
// scanned as a drive, and the versions of files they hold written beside the live ones.
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <unordered_map>

#include "carve/carved_files.h"
#include "catalogue/tree_placement.h"
#include "disk/shadow_copy_store.h"
#include "partition/drive_list.h"
#include "partition/partition_types.h"
#include "scan/scan_engine.h"
#include "scan/scan_texts.h"
#include "session/copy_versions.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace fs = std::filesystem;

namespace {

// The store of a drive's shadow copies, read over the drive's own sectors.
ShadowStoreOpening OpenStore(const std::shared_ptr<Disk>& disk, const LogicalDriveEntry& drive) {
    if (!IsScannedType(drive.partitionType)) return {};
    const std::uint64_t bytes =
        CheckedMul(drive.sizeInSectors(), std::uint64_t{kSectorSize}).value_or(0);
    return ShadowCopyStore::Open(
        std::make_unique<DiskSectorSource>(disk, DiskSector(drive.startSector)), bytes);
}

// Moves a file to `to`, never over a file there: false (errno set) when it cannot.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    // A destination without hard links (FAT, exFAT, some shares): looked at, then renamed.
    std::error_code error;
    if (fs::exists(to, error)) {
        errno = EEXIST;
        return false;
    }
    fs::rename(from, to, error);
    if (error) errno = error.value();
    return !error;
}

// Where a version goes: beside the live file, under its version name, never over a file.
std::optional<std::string> PlaceVersion(const fs::path& from, const fs::path& folder,
                                        const std::string& stamp) {
    std::error_code error;
    fs::create_directories(folder, error);
    const std::string name = from.filename().string();
    for (int n = 1; n <= 100; ++n) {
        const std::string tagged =
            VersionFileName(name, n == 1 ? stamp : stamp + " " + std::to_string(n));
        const std::string to = (folder / tagged).string();
        if (MoveWithoutReplacing(from.string(), to)) return to;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// The volume's own files ($MFT, $LogFile, $Bitmap, the journal under $Extend) change with
// every write to it: their older states are no versions of anything a user keeps.
bool IsVolumeMetadata(std::uint32_t record, const std::string& path) {
    constexpr std::uint32_t kFirstUserRecord = 24;
    return record < kFirstUserRecord || path.rfind("Root/$Extend/", 0) == 0;
}

// Whether a file of a shadow copy at `path` belongs to the checked entries of the live
// tree: its live entry is checked, or, for a file the live volume no longer has, the
// nearest folder above it that it still has is (Root when none is).
bool ChosenInLiveTree(const CheckTree& tree, std::string path) {
    for (;;) {
        if (path == "Root") return tree.RootMark() == CheckMark::kChecked;
        if (const auto position = tree.Find(path))
            return tree.MarkOf(*position) == CheckMark::kChecked;
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos) return false;
        path.resize(slash);
    }
}

}  // namespace

LiveVersions VersionsByPath(RecoverySession& session, ProgressSink& progress,
                            const StopFlag* stop) {
    LiveVersions byPath;
    const ConditionTable& table = session.Conditions(progress, stop);
    const Catalogue& catalogue = session.GetCatalogue();
    CheckTree& tree = session.Checks();
    const std::span<const PlacedEntry> placed = tree.Placed();
    for (std::size_t p = 0; p < placed.size(); ++p) {
        const std::size_t index = placed[p].catalogueIndex;
        const CatalogueEntry& entry = catalogue.At(index);
        if (entry.IsDirectory() || placed[p].unplaced) continue;
        const FileVersionKey key{entry.size,
                                 index < table.Count() ? table.Times(index).modification : 0};
        const LiveVersion version{!entry.IsDeleted(), key, p};
        auto [it, added] = byPath.try_emplace(tree.PathOf(p), version);
        if (!added && !it->second.inUse && version.inUse) it->second = version;
    }
    return byPath;
}

bool RecoverySession::ScanOwnCopy(RecoverySession& old, std::size_t copy, ProgressSink& progress,
                                  Notifier& notifier, const StopFlag* stop) const {
    // The copy lies on this session's disk, in the drive of its list's row.
    old.disks_ = disks_;
    old.disk_ = disk_;
    old.drives_.ReplaceCurrent(drives_.Entries());
    if (old.OpenShadowCopy(openRow_, copy, notifier) != DriveOpening::kOpened) return false;
    old.Scan(progress, notifier, stop);
    return true;
}

std::vector<CopyVersion> CopyVersions(
    RecoverySession& old, const LiveVersions& live, VersionsSeen& seen,
    const std::function<bool(const CatalogueEntry&, const std::string&, const LiveVersion*)>&
        wanted,
    ProgressSink& progress, const StopFlag* stop) {
    std::vector<CopyVersion> found;
    const LiveVersions versions = VersionsByPath(old, progress, stop);
    const CheckTree& tree = old.Checks();
    const Catalogue& catalogue = old.GetCatalogue();
    for (std::size_t p = 0; p < tree.Placed().size(); ++p) {
        const CatalogueEntry& entry = catalogue.At(tree.Placed()[p].catalogueIndex);
        if (entry.IsDirectory() || entry.IsDeleted() || tree.Placed()[p].unplaced ||
            entry.size == 0)
            continue;
        std::string path = tree.PathOf(p);
        if (IsVolumeMetadata(entry.number, path)) continue;
        const auto at = live.find(path);
        const LiveVersion* liveVersion = at == live.end() ? nullptr : &at->second;
        if (!wanted(entry, path, liveVersion)) continue;
        std::optional<FileVersionKey> liveKey;
        if (liveVersion != nullptr) liveKey = liveVersion->key;
        const FileVersionKey key = versions.at(path).key;
        std::vector<FileVersionKey>& written = seen[path];
        if (!VersionDiffers(liveKey, written, key)) continue;
        written.push_back(key);
        found.push_back({p, std::move(path)});
    }
    return found;
}

std::vector<ShadowCopySummary> RecoverySession::ShadowCopies(std::size_t row,
                                                             std::string* problem) const {
    std::vector<ShadowCopySummary> copies;
    const std::optional<LogicalDriveEntry> drive = drives_.EntryAt(row);
    if (!drive) return copies;
    const ShadowStoreOpening opening = OpenStore(ListedDisk(), *drive);
    if (problem != nullptr) *problem = opening.problem;
    if (!opening.store) return copies;
    for (const ShadowCopyInfo& info : opening.store->Copies())
        copies.push_back({info.number, info.creationTime,
                          ShadowCopyLabel(info.number, row + 1, info.creationTime)});
    return copies;
}

DriveOpening RecoverySession::OpenShadowCopy(std::size_t row, std::size_t copy,
                                             Notifier& notifier) {
    const std::optional<LogicalDriveEntry> chosen = drives_.EntryAt(row);
    if (!chosen) return DriveOpening::kNoSuchDrive;
    if (!IsScannedType(chosen->partitionType)) {
        notifier.Notify(kFatDriveText, kInvalidDriveCaption, NoticeIcon::Warning);
        return DriveOpening::kNotNtfs;
    }
    const LogicalDriveEntry drive = *chosen;
    const ShadowStoreOpening opening = OpenStore(ListedDisk(), drive);
    std::unique_ptr<SectorSource> source;
    if (opening.store) source = opening.store->CopySource(copy);
    if (!source) {
        const std::string why =
            !opening.problem.empty() ? "drive " + std::to_string(row + 1) + ": " + opening.problem
            : opening.store          ? "drive " + std::to_string(row + 1) + " has " +
                                  std::to_string(opening.store->Copies().size()) +
                                  " shadow copies; there is no copy " + std::to_string(copy)
                            : "drive " + std::to_string(row + 1) + " has no shadow copies";
        notifier.Notify(why, "Shadow Copies", NoticeIcon::Warning);
        return DriveOpening::kNoSuchDrive;
    }
    drives_.DiscardPrevious();
    checks_.reset();
    filter_.reset();
    facts_.reset();
    conditions_.reset();
    carved_.reset();
    engine_ = std::make_unique<ScanEngine>(ListedDisk(), DiskSector(drive.startSector),
                                           drive.sizeInSectors(), std::move(source));
    if (!engine_->ValidateBootSector(notifier)) {
        engine_.reset();
        return DriveOpening::kInvalidDrive;
    }
    openRow_ = row;
    openCopy_ = copy;
    openCopyTime_ = opening.store->Copies()[copy - 1].creationTime;
    return DriveOpening::kOpened;
}

std::string RecoverySession::SourceName() const {
    if (openCopy_ == 0) return "live volume";
    return ShadowCopyName(openCopy_, openCopyTime_);
}

VersionsResult RecoverySession::RecoverVersions(const std::string& destination, RecoveryMode mode,
                                                ProgressSink& progress, Notifier& notifier,
                                                const StopFlag* stop, const CheckTree* chosen) {
    VersionsResult result;
    if (!engine_ || openCopy_ != 0) return result;
    std::string problem;
    const std::vector<ShadowCopySummary> copies = ShadowCopies(openRow_, &problem);
    if (!problem.empty())
        notifier.Notify("Drive " + std::to_string(openRow_ + 1) + ": " + problem, "Shadow Copies",
                        NoticeIcon::Warning);
    // The versions written per tree path, the live one first: a copy's version that
    // another copy holds already is written once.
    VersionsSeen seen;
    for (const ShadowCopySummary& copy : copies) {
        if (stop != nullptr && stop->load()) break;
        RecoverCopyVersions(destination, mode, copy, seen, progress, notifier, stop,
                            chosen != nullptr ? *chosen : Checks(), result);
    }
    result.stopped = stop != nullptr && stop->load();
    return result;
}

void RecoverySession::RecoverCopyVersions(const std::string& destination, RecoveryMode mode,
                                          const ShadowCopySummary& copy, VersionsSeen& seen,
                                          ProgressSink& progress, Notifier& notifier,
                                          const StopFlag* stop, const CheckTree& liveTree,
                                          VersionsResult& result) {
    const LiveVersions live = VersionsByPath(*this, progress, stop);
    RecoverySession old;
    if (!ScanOwnCopy(old, copy.number, progress, notifier, stop)) {
        ++result.copiesSkipped;
        return;
    }
    if (stop != nullptr && stop->load()) return;
    const auto wanted = [&](const CatalogueEntry& entry, const std::string& path,
                            const LiveVersion* liveVersion) {
        if (!FilterPasses(entry.Name(), filter_.get())) return false;
        // The chosen files of the live volume, and for a recovery of the deleted ones the
        // files the live volume holds no more.
        if (mode == RecoveryMode::kDeleted) return liveVersion == nullptr || !liveVersion->inUse;
        if (mode == RecoveryMode::kSelected) return ChosenInLiveTree(liveTree, path);
        return true;
    };
    const std::vector<CopyVersion> chosen = CopyVersions(old, live, seen, wanted, progress, stop);
    CheckTree& tree = old.Checks();
    tree.SetAllChecked(false);
    for (const CopyVersion& version : chosen) tree.SetChecked(version.position, true);
    const bool any = !chosen.empty();
    if (!any) return;

    // Written under the copy's own folder first, then moved beside the live files.
    std::string staging = destination + "/Shadow copy " + std::to_string(copy.number);
    for (int n = 2; fs::exists(staging); ++n)
        staging = destination + "/Shadow copy " + std::to_string(copy.number) + " (" +
                  std::to_string(n) + ")";
    RecoveryPlan plan;
    plan.destination = staging;
    plan.mode = RecoveryMode::kSelected;
    plan.keepReport = true;
    const RecoveryResult written = old.Recover(plan, progress, notifier, stop);
    result.unreadableSectors += written.unreadableSectors;
    const std::string stamp = ShadowStamp(copy.creationTime);
    std::uint64_t left = 0;
    for (ReportRow row : old.LastReport().Rows()) {
        std::error_code error;
        if (row.path.rfind(staging + "/", 0) != 0 || !fs::exists(row.path, error)) {
            report_.Add(row);  // not written (unreadable): its row says so
            continue;
        }
        const fs::path relative = fs::path(row.path.substr(staging.size() + 1));
        const auto placed =
            PlaceVersion(row.path, fs::path(destination) / relative.parent_path(), stamp);
        if (!placed) {
            ++left;
            notifier.Notify("The version " + row.path + " could not be moved beside " +
                                (fs::path(destination) / relative).string() +
                                "; it is left where it was written",
                            "Shadow Copies", NoticeIcon::Warning);
        } else {
            row.path = *placed;
            ++result.versionsWritten;
            result.bytesWritten += row.size;
        }
        report_.Add(row);
    }
    result.versionsNotMoved += left;
    if (left == 0) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);  // only its emptied folders remain
    }
}

}  // namespace tarvik
