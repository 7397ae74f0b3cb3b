#include "cli/drive_choice.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "cli/commands.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "partition/logical_drive_search.h"
#include "scan/scan_texts.h"
#include "session/saved_scan.h"

namespace tarvik::cli {

namespace {

// Keeps the notices of a scan back: a scan that reads nothing ends with a notice meant
// for a FAT drive, which the command line replaces by its own reason.
class HeldNotices final : public Notifier {
  public:
    void Notify(const std::string& text, const std::string& caption, NoticeIcon) override {
        held_.push_back(caption + ": " + text);
    }
    bool Any() const { return !held_.empty(); }
    void Release() const {
        for (const std::string& line : held_) std::fprintf(stderr, "%s\n", line.c_str());
    }

  private:
    std::vector<std::string> held_;
};

void LabelScanCounters(TerminalProgress& progress) {
    progress.SetLabel(kSlotNormalFiles, "files");
    progress.SetLabel(kSlotNormalDirectories, "folders");
    progress.SetLabel(kSlotDeletedFiles, "deleted files");
    progress.SetLabel(kSlotDeletedDirectories, "deleted folders");
    progress.SetLabel(kSlotLostFiles, "lost files");
    progress.SetLabel(kSlotLostDirectories, "lost folders");
}

}  // namespace

int ReportInterrupted() {
    Fail("interrupted");
    return kExitInterrupted;
}

std::optional<int> LoadOneDisk(const DriveOptions& options, RecoverySession& session) {
    if (auto problem = session.LoadDisks({options.disk}, false)) return Fail(*problem);
    return std::nullopt;
}

bool FindDrives(const DriveOptions& options, RecoverySession& session, const InterruptStop& stop) {
    StderrNotifier notifier;
    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotSearchStatus);
    progress.SetLabel(kSlotSearchSector, "sector");
    progress.SetLabel(kSlotSearchTotal, "of");
    progress.SetLabel(kSlotSearchFound, "drives found");
    const DriveDiscovery how =
        options.search ? DriveDiscovery::kSearchDisk : DriveDiscovery::kPartitionTable;
    const bool found = session.FindDrives(0, how, progress, notifier, stop.flag());
    progress.Finish();
    return found;
}

namespace {

// Opens the drive a kept scan was made of and takes the scan over it.
std::optional<int> ReopenChosenDrive(const DriveOptions& options, RecoverySession& session,
                                     const InterruptStop& stop) {
    std::string why;
    const std::optional<SavedScan> saved = SavedScan::Load(options.savedScan, why);
    if (!saved) return Fail("the saved scan " + options.savedScan + " cannot be used: " + why);
    if (auto failed = LoadOneDisk(options, session)) return failed;
    if (!FindDrives(options, session, stop))
        return stop.Requested() ? ReportInterrupted() : kExitFailure;
    std::optional<std::size_t> row = session.DriveRowOf(saved->identity());
    if (options.drive) row = *options.drive - 1;
    if (!row || *row >= session.Drives().size()) {
        return Fail("no drive of " + options.disk + " lies where the scanned drive did (sector " +
                    std::to_string(saved->identity().driveStart) + "); name it with --drive");
    }
    StderrNotifier notifier;
    if (session.OpenDrive(*row, notifier) != DriveOpening::kOpened) return kExitFailure;
    if (auto refused = session.ReopenScan(*saved)) {
        return Fail("the saved scan " + options.savedScan +
                    " was not made of this drive: " + *refused);
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> ScanChosenDrive(const DriveOptions& options, RecoverySession& session,
                                   const InterruptStop& stop) {
    if (!options.savedScan.empty()) return ReopenChosenDrive(options, session, stop);
    if (auto failed = LoadOneDisk(options, session)) return failed;
    if (!FindDrives(options, session, stop))
        return stop.Requested() ? ReportInterrupted() : kExitFailure;
    if (stop.Requested()) return ReportInterrupted();

    StderrNotifier notifier;
    const std::size_t driveCount = session.Drives().size();
    std::size_t row = 0;
    if (options.drive) {
        if (*options.drive > driveCount) {
            return Fail("the disk has " + std::to_string(driveCount) +
                        " logical drive(s); there is no drive " + std::to_string(*options.drive) +
                        " (see `tarvik-cli drives`)");
        }
        row = *options.drive - 1;
    } else if (const auto valid = session.FirstValidDrive()) {
        row = *valid;
    } else {
        return Fail(
            "no drive of the disk has a valid NTFS boot sector; see `tarvik-cli drives"
            " --disk " +
            options.disk + "`, or try --search");
    }
    const DriveOpening opening = options.shadow
                                     ? session.OpenShadowCopy(row, *options.shadow, notifier)
                                     : session.OpenDrive(row, notifier);
    if (opening != DriveOpening::kOpened) return kExitFailure;

    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotPhase);
    LabelScanCounters(progress);
    HeldNotices notices;
    session.SetReadFolderIndexes(options.deep);
    session.Scan(progress, notices, stop.flag());
    if (options.advance && !stop.Requested()) session.AdvanceSearch(progress, notices, stop.flag());
    std::optional<CarveSummary> carved;
    if (options.carve && !stop.Requested())
        carved = session.CarveFreeSpace(progress, notices, stop.flag());
    progress.Finish();
    if (stop.Requested()) return ReportInterrupted();
    if (notices.Any() && session.GetCatalogue().Count() == 0) {
        return Fail("drive " + std::to_string(row + 1) +
                    " has a valid boot sector but no NTFS record could be read from it (a "
                    "truncated or damaged image?); try --advance or --search");
    }
    notices.Release();
    if (carved && !carved->failed) {
        std::fprintf(stderr,
                     "tarvik-cli: carved %llu files (%llu partial) from %llu free clusters\n",
                     static_cast<unsigned long long>(carved->files),
                     static_cast<unsigned long long>(carved->partial),
                     static_cast<unsigned long long>(carved->freeClusters));
    }
    return std::nullopt;
}

std::string CountersLine(const ScanCounters& c) {
    return "Normal Files " + std::to_string(c.normalFiles) + ", Normal Directories " +
           std::to_string(c.normalDirectories) + ", Deleted Files " +
           std::to_string(c.deletedFiles) + ", Deleted Directories " +
           std::to_string(c.deletedDirectories) + ", Lost Files " + std::to_string(c.lostFiles) +
           ", Lost Directories " + std::to_string(c.lostDirectories) +
           (c.unreadableRecords != 0
                ? ", Unreadable MFT Records " + std::to_string(c.unreadableRecords)
                : std::string());
}

}  // namespace tarvik::cli
