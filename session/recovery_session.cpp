#include "session/recovery_session.h"

#include <algorithm>
#include <array>

#include <filesystem>

#include "carve/carved_files.h"
#include "common/memory_release.h"
#include "disk/disk_check.h"
#include "disk/disk_identity.h"
#include "disk/sector_source.h"
#include "ntfs/boot_sector.h"
#include "partition/drive_size_text.h"
#include "partition/found_drive_table.h"
#include "partition/logical_drive_search.h"
#include "partition/partition_types.h"
#include "partition/partition_walk.h"
#include "recovery/destination_check.h"
#include "scan/scan_engine.h"
#include "scan/scan_texts.h"

namespace tarvik {

namespace {

void AnnounceNotNtfs(Notifier& notifier) {
    notifier.Notify(kFatDriveText, kInvalidDriveCaption, NoticeIcon::Warning);
}

}  // namespace

RecoverySession::RecoverySession() = default;
RecoverySession::~RecoverySession() = default;

std::optional<std::string> RecoverySession::LoadDisks(const std::vector<std::string>& paths,
                                                      bool includeSystemDisks) {
    for (const auto& path : paths) {
        if (auto problem = DescribeUnusableDisk(path)) return problem;
    }
    // The disk count stops at the first disk that cannot be opened; a disk the user may
    // not read must neither hide the ones after it nor vanish without a word.
    std::vector<DiskTableEntry> readable;
    unreadable_.clear();
    for (const DiskTableEntry& entry : DiskTable::Listed(paths, includeSystemDisks)) {
        if (const int error = DiskOpenError(entry.path))
            unreadable_.push_back({entry.path, error});
        else
            readable.push_back(entry);
    }
    disks_->Replace(readable);
    return std::nullopt;
}

std::optional<std::string> RecoverySession::AddDisk(const std::string& path, std::size_t& disk) {
    if (auto problem = DescribeUnusableDisk(path)) return problem;
    const std::vector<std::shared_ptr<Disk>> entries = disks_->Entries();
    for (std::size_t n = 0; n < entries.size(); ++n) {
        std::error_code error;
        if (std::filesystem::equivalent(entries[n]->path(), path, error)) {
            disk = n;
            return std::nullopt;
        }
    }
    disk = disks_->Append({path, true});
    return std::nullopt;
}

std::optional<std::string> RecoverySession::UnreadableDisksNote() const {
    return DescribeUnreadableDisks(unreadable_);
}

std::vector<DiskSummary> RecoverySession::ListDisks() const {
    std::vector<DiskSummary> disks;
    const std::size_t count = disks_->OpenableCount();
    const auto entries = disks_->Entries();
    for (std::size_t n = 0; n < count && n < entries.size(); ++n) {
        Disk& disk = *entries[n];
        const DiskIdentity identity = IdentityForDisplay(IdentifyDisk(disk));
        disks.push_back(
            {identity.model, identity.serial, disk.SectorCount().value_or(0), disk.path()});
    }
    return disks;
}

bool RecoverySession::FindDrives(std::size_t disk, DriveDiscovery how, ProgressSink& searchProgress,
                                 Notifier& notifier, const StopFlag* stop) {
    DriveList& list = drives_;
    // The walk sets a non-empty list aside; its disk goes aside with it.
    if (how != DriveDiscovery::kSearchDisk && !list.Empty()) previousDisk_ = disk_;
    disk_ = disk;
    const std::shared_ptr<Disk> read = ListedDisk();
    // The drives of another disk must not stay listed for this one, even when the
    // search finds nothing.
    if (how == DriveDiscovery::kSearchDisk) list.DiscardCurrent();
    // An empty walk has announced the bad table; the search follows as if asked for.
    if (how != DriveDiscovery::kSearchDisk && StartPartitionWalk(*read, list, notifier) != 0)
        return true;
    if (how == DriveDiscovery::kPartitionTableOnly) return false;
    FoundDriveTable found;
    SearchLogicalDrives(read, found, searchProgress, {stop, &notifier});
    if (found.Empty()) {
        AnnounceNotNtfs(notifier);
        return false;
    }
    RebuildDriveListFromSearch(found, list);
    return true;
}

std::shared_ptr<Disk> RecoverySession::ListedDisk() const {
    if (auto disk = disks_->At(disk_)) return disk;
    // A number past the table names no disk: one that opens nothing, so every read of
    // it fails as a read of a disk that went away does.
    return std::make_shared<Disk>(std::string(), false, disk_);
}

std::vector<LogicalDriveEntry> RecoverySession::Drives() const {
    return drives_.Entries();
}

std::uint64_t RecoverySession::DriveMissingSectors(std::size_t row) const {
    const std::optional<LogicalDriveEntry> drive = drives_.EntryAt(row);
    const std::shared_ptr<Disk> disk = ListedDisk();
    if (!drive || !disk) return 0;
    const std::uint64_t diskSectors = disk->SectorCount().value_or(0);
    if (diskSectors == 0) return 0;
    // The volume's own size when its boot sector says it (NTFS keeps the backup copy in
    // the sector after it), else the partition's.
    std::uint64_t volumeSectors = drive->sizeInSectors();
    DiskSectorSource source(disk, DiskSector(drive->startSector));
    std::array<std::uint8_t, NtfsBootSector::kSize> bytes{};
    if (IsScannedType(drive->partitionType) && source.Read(DriveSector(0), bytes)) {
        const auto boot = NtfsBootSector::Parse(ByteView(bytes.data(), bytes.size()));
        if (boot && boot->IsPlausibleVolume()) {
            if (const auto units = boot->VolumeUnits()) volumeSectors = *units;
        }
    }
    const std::uint64_t end = CheckedAdd(drive->startSector, volumeSectors).value_or(UINT64_MAX);
    return end > diskSectors ? end - diskSectors : 0;
}

std::optional<std::size_t> RecoverySession::FirstNtfsDrive() const {
    const std::vector<LogicalDriveEntry> drives = Drives();
    for (std::size_t row = 0; row < drives.size(); ++row) {
        if (IsScannedType(drives[row].partitionType)) return row;
    }
    return std::nullopt;
}

bool RecoverySession::DriveValidates(std::size_t row) const {
    const std::optional<LogicalDriveEntry> drive = drives_.EntryAt(row);
    if (!drive || !IsScannedType(drive->partitionType)) return false;
    ScanEngine probe(ListedDisk(), DiskSector(drive->startSector), drive->sizeInSectors());
    NullNotifier silent;
    return probe.ValidateBootSector(silent);
}

std::optional<std::size_t> RecoverySession::FirstValidDrive() const {
    const std::size_t count = Drives().size();
    for (std::size_t row = 0; row < count; ++row) {
        if (DriveValidates(row)) return row;
    }
    return std::nullopt;
}

bool RecoverySession::RestorePreviousDrives() {
    if (!drives_.RestorePrevious()) return false;
    disk_ = previousDisk_;
    return true;
}

DriveOpening RecoverySession::OpenDrive(std::size_t row, Notifier& notifier) {
    DriveList& list = drives_;
    const std::optional<LogicalDriveEntry> chosen = list.EntryAt(row);
    if (!chosen) return DriveOpening::kNoSuchDrive;
    if (!IsScannedType(chosen->partitionType)) {
        AnnounceNotNtfs(notifier);
        return DriveOpening::kNotNtfs;
    }
    const LogicalDriveEntry drive = *chosen;
    list.DiscardPrevious();
    checks_.reset();
    filter_.reset();
    facts_.reset();
    conditions_.reset();
    carved_.reset();
    engine_ = std::make_unique<ScanEngine>(ListedDisk(), DiskSector(drive.startSector),
                                           drive.sizeInSectors());
    if (!engine_->ValidateBootSector(notifier)) {
        engine_.reset();
        return DriveOpening::kInvalidDrive;
    }
    openRow_ = row;
    openCopy_ = 0;
    return DriveOpening::kOpened;
}

DriveOpening RecoverySession::OpenFirstNtfsDrive(Notifier& notifier) {
    if (const auto row = FirstNtfsDrive()) return OpenDrive(*row, notifier);
    AnnounceNotNtfs(notifier);
    return DriveOpening::kNotNtfs;
}

void RecoverySession::CloseDrive() {
    checks_.reset();
    filter_.reset();
    facts_.reset();
    conditions_.reset();
    carved_.reset();
    engine_.reset();
    drives_.DiscardCurrent();
    drives_.DiscardPrevious();
}

void RecoverySession::Scan(ProgressSink& progress, Notifier& notifier, const StopFlag* stop) {
    // The condition check takes what it needs from the scan's own pass over the MFT.
    facts_ = std::make_unique<ConditionFacts>(*engine_);
    engine_->Scan(progress, notifier, stop, facts_.get());
    checks_.reset();  // placed again over the new catalogue when next asked for
    conditions_.reset();
    carved_.reset();
    byNumber_.clear();
    // The scan's many small temporaries are gone; what they took would otherwise still
    // count while the next big step (the condition table) sets its own memory aside.
    ReturnFreedMemory();
}

void RecoverySession::SetReadFolderIndexes(bool read) {
    if (engine_) engine_->SetReadFolderIndexes(read);
}

bool RecoverySession::AdvanceSearch(ProgressSink& progress, const StopFlag* stop) {
    if (!engine_->AdvanceSearch(progress, stop)) return false;
    // Placed again over the new catalogue when next asked for, with nothing checked:
    // marks made before the search would leave folders checked over entries it added.
    checks_.reset();
    conditions_.reset();
    byNumber_.clear();
    return true;
}

bool RecoverySession::AdvanceSearch(ProgressSink& progress, Notifier& notifier,
                                    const StopFlag* stop) {
    if (!AdvanceSearch(progress, stop)) return false;
    if (const std::uint32_t unverified = engine_->unverifiedEntries(); unverified != 0) {
        notifier.Notify(std::to_string(unverified) +
                            " entries belong to an older volume whose cluster size could not "
                            "be found on the drive; they are read with this volume's, so "
                            "their recovered bytes are unverified.",
                        "Advance Search", NoticeIcon::Warning);
    }
    return true;
}

CarveSummary RecoverySession::CarveFreeSpace(ProgressSink& progress, Notifier& notifier,
                                             const StopFlag* stop) {
    CarveSummary summary;
    if (!engine_) return summary;
    if (carved_) {
        summary.files = carved_->Count();
        summary.alreadyCarved = true;
        return summary;
    }
    progress.SetText(kSlotPhase, kCarvingMapText);
    const CarvableClusters clusters = FindCarvableClusters(*engine_, stop);
    if (!clusters.failure.empty()) {
        notifier.Notify(clusters.failure + ": free space cannot be carved.", kCarveCaption,
                        NoticeIcon::Warning);
        summary.failed = true;
        return summary;
    }
    summary.freeClusters = clusters.clusters;
    if (stop != nullptr && stop->load()) {
        summary.stopped = true;
        return summary;
    }
    progress.SetText(kSlotPhase, kCarvingText);
    const CarveOutcome outcome = CarveClusters(
        engine_->source(), clusters.extents, engine_->geometry().sectorsPerCluster, progress, stop);
    summary.stopped = outcome.stopped;
    summary.failedReads = outcome.failedReads;
    // What was found before a stop is kept: each of those files was read to its end.
    carved_ = std::make_unique<CarvedFiles>(*engine_, outcome.files, progress);
    summary.files = carved_->Count();
    for (const CarvedFile& file : outcome.files) summary.partial += file.partial ? 1 : 0;
    checks_.reset();  // placed again over the longer catalogue when next asked for
    byNumber_.clear();
    if (conditions_) conditions_->ExtendFor(engine_->catalogue());
    stoppedConditions_.reset();
    return summary;
}

const EntryDataMaps* RecoverySession::CarvedDataMaps() const {
    return carved_.get();
}

const CarvedFile* RecoverySession::CarvedFileOf(std::size_t index) const {
    return carved_ ? carved_->Find(index) : nullptr;
}

std::vector<PlacedEntry> RecoverySession::Placement() const {
    if (checks_) return {checks_->Placed().begin(), checks_->Placed().end()};
    return PlaceEntries(engine_->catalogue(), engine_->folderTable());
}

CheckTree& RecoverySession::Checks() const {
    if (!checks_)
        checks_ = std::make_unique<CheckTree>(engine_->catalogue(), engine_->folderTable());
    return *checks_;
}

const Catalogue& RecoverySession::GetCatalogue() const {
    return engine_->catalogue();
}

const FolderTable& RecoverySession::GetFolderTable() const {
    return engine_->folderTable();
}

DriveProperties RecoverySession::Properties() const {
    DriveProperties properties;
    if (!engine_) return properties;
    const ScanCounters& c = engine_->counters();
    const DriveGeometry& geometry = engine_->geometry();
    if (engine_->disk()) properties.driveCode = static_cast<std::uint8_t>(engine_->disk()->code());
    properties.sectorsPerCluster = geometry.sectorsPerCluster;
    properties.partitionStart = geometry.firstSector.value();
    properties.partitionSize = geometry.sizeInSectors;
    properties.mftStart = geometry.mftStart.value();
    properties.totalFiles = std::uint64_t{c.normalFiles} + c.lostFiles + c.deletedFiles;
    properties.totalDirectories =
        std::uint64_t{c.normalDirectories} + c.lostDirectories + c.deletedDirectories;
    properties.deletedFiles = c.deletedFiles;
    properties.deletedDirectories = c.deletedDirectories;
    properties.totalBytes = engine_->totalSize();
    properties.unreadableRecords = c.unreadableRecords;
    return properties;
}

namespace {

// Passes every message on and keeps a copy.
class RecordingNotifier final : public Notifier {
  public:
    RecordingNotifier(Notifier& next, std::vector<RecoveryNotice>& kept)
        : next_(next), kept_(kept) {}
    void Notify(const std::string& text, const std::string& caption, NoticeIcon icon) override {
        kept_.push_back({text, caption});
        next_.Notify(text, caption, icon);
    }

  private:
    Notifier& next_;
    std::vector<RecoveryNotice>& kept_;
};

}  // namespace

std::string RecoverySession::ScannedDiskPath() const {
    // The disk the drive was opened on, which the drive list may since have left.
    return engine_->disk() ? engine_->disk()->path() : std::string();
}

bool RecoverySession::DestinationOnScannedDisk(const std::string& destination) const {
    return JudgeDestinationOf(destination).standing == DestinationStanding::kOnDisk;
}

DestinationVerdict RecoverySession::JudgeDestinationOf(const std::string& destination) const {
    if (!engine_) return {};
    const std::string diskPath = ScannedDiskPath();
    if (diskPath.empty()) return {};
    return JudgeDestination(diskPath, destination, sysRoot_, mountInfo_);
}

RecoveryResult RecoverySession::Recover(const std::string& destination, RecoveryMode mode,
                                        ProgressSink& progress, Notifier& notifier,
                                        const StopFlag* stop) {
    RecoveryPlan plan;
    plan.destination = destination;
    plan.mode = mode;
    return Recover(plan, progress, notifier, stop);
}

RecoveryResult RecoverySession::Recover(const RecoveryPlan& plan, ProgressSink& progress,
                                        Notifier& notifier, const StopFlag* stop) {
    notices_.clear();
    report_.Clear();
    RecordingNotifier recording(notifier, notices_);
    RecoveryWriter writer(*engine_, progress, recording, stop);
    writer.SetFileFilter(filter_.get());
    // No tree yet: nothing was checked.
    if (plan.marks == nullptr && checks_) writer.SetSelection(&checks_->Marks());
    // Refused destinations are refused before the MFT is read again.
    if (!DestinationOnScannedDisk(plan.destination)) {
        const ConditionTable& table = Conditions(progress, stop);
        if (stop != nullptr && stop->load()) {
            RecoveryResult stopped;
            stopped.stopped = true;
            return stopped;
        }
        writer.SetConditions(&table, plan.condition);
    }
    if (plan.keepReport) writer.SetReport(&report_);
    writer.SetTally(plan.tally);
    writer.SetEntryDataMaps(carved_.get());
    const RecoveryResult result = writer.Run(plan, ScannedDiskPath());
    report_.NameSource(SourceName());
    return result;
}

void RecoverySession::NoteWhatRecoveryRead(const RecoveryResult& result) {
    if (!conditions_) return;
    for (const std::uint32_t number : result.writtenAgain) conditions_->MarkWrittenAgain(number);
}

const ConditionTable& RecoverySession::Conditions(ProgressSink& progress, const StopFlag* stop) {
    if (!conditions_) {
        auto table = std::make_unique<ConditionTable>(
            ConditionTable::Build(*engine_, progress, stop, facts_.get()));
        facts_.reset();  // used up, whole or not
        if (stop != nullptr && stop->load()) {
            // Not kept: the next question makes it whole.
            stoppedConditions_ = std::move(table);
            return *stoppedConditions_;
        }
        conditions_ = std::move(table);
        ReturnFreedMemory();  // the build's temporaries
    }
    return *conditions_;
}

std::string RecoverySession::ConditionReason(std::size_t index) const {
    if (!conditions_ || index >= conditions_->Count()) return {};
    const EntryCondition& c = conditions_->Condition(index);
    const auto clusters = [](std::uint64_t n) {
        return std::to_string(n) + (n == 1 ? " cluster" : " clusters");
    };
    switch (c.condition) {
        case FileCondition::kNotApplicable:
            return {};
        case FileCondition::kUnknown:
            switch (c.unknownCause) {
                case UnknownCause::kNoMft:
                    return "The drive's MFT was not found: which files hold its clusters now is "
                           "not known";
                case UnknownCause::kNoBitmap:
                    return "The drive's $Bitmap could not be read: which clusters are in use is "
                           "not known";
                case UnknownCause::kNotComputed:
                    return "Not checked: the check was stopped";
                case UnknownCause::kWrittenAgain:
                    return "Its clusters are free and no record claims them, but the bytes "
                           "after its end were written again: another file held them since";
                case UnknownCause::kClusterSizeUnverified:
                    return "The volume's cluster size could not be confirmed: its data may "
                           "be read from the wrong clusters";
                default:
                    return "The file's record or its list of clusters could not be read";
            }
        case FileCondition::kIntact:
            if (!GetCatalogue().At(index).IsDeleted()) return "In use: its clusters are its own";
            if (c.dataClusters == 0) return "Its data is kept in its record, which is intact";
            return "All " + clusters(c.dataClusters) + " are free and claimed by no later file";
        case FileCondition::kUnreadable:
            return "Its MFT record cannot be read or decoded: where its data lies is not known, "
                   "and it is not written";
        case FileCondition::kPartlyUnreadable:
            switch (c.readGap) {
                case ReadGap::kPastImage:
                    return "Part of its data lies past the end of the image: the image is "
                           "shorter than its volume, and that part is written as zeros";
                case ReadGap::kSizePastRuns:
                    return "Its record claims more data than its clusters hold: it is written "
                           "only as far as they reach";
                default:
                    return "Its list of clusters is cut short: the clusters it does not place "
                           "are written as zeros";
            }
        case FileCondition::kPartlyOverwritten:
        case FileCondition::kOverwritten:
            break;
    }
    std::string text = std::to_string(c.takerClusters) + " of " + clusters(c.dataClusters);
    switch (c.taker) {
        case ClusterTaker::kLiveFile:
        case ClusterTaker::kLaterDeleted: {
            if (byNumber_.empty()) {
                const Catalogue& catalogue = GetCatalogue();
                for (std::size_t i = 0; i < catalogue.Count(); ++i) {
                    const CatalogueEntry& e = catalogue.At(i);
                    const std::uint32_t number = e.number;  // packed: copied, not bound
                    if (!e.IsMadeUp()) byNumber_.emplace_back(number, i);
                }
                std::sort(byNumber_.begin(), byNumber_.end());
            }
            const auto it = std::lower_bound(byNumber_.begin(), byNumber_.end(),
                                             std::pair{c.takerRecord, std::size_t{0}});
            std::string who = "record " + std::to_string(c.takerRecord);
            if (it != byNumber_.end() && it->first == c.takerRecord) {
                who = Checks().PathOf(Checks().PositionOfIndex(it->second));
            }
            text += c.taker == ClusterTaker::kLiveFile
                        ? " now belong to " + who
                        : " were written again by the deleted " + who;
            break;
        }
        case ClusterTaker::kVolume:
            text += " are in use by the volume, in no file the scan could read";
            break;
        case ClusterTaker::kOutside:
            text += " lie past the end of the volume";
            break;
        case ClusterTaker::kNone:
            break;
    }
    if (c.takenClusters > c.takerClusters)
        text += "; " + std::to_string(c.takenClusters) + " taken in all";
    return text;
}

}  // namespace tarvik
