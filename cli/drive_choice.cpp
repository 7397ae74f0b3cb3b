#include "cli/drive_choice.h"

#include <cstdlib>

#include "cli/commands.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "ntfs/scan_texts.h"
#include "partition/logical_drive_search.h"

namespace tarvik::cli {

namespace {

std::optional<std::size_t> ParseDriveNumber(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value == 0) return std::nullopt;
    return static_cast<std::size_t>(value);
}

}  // namespace

int ReportInterrupted() {
    Fail("interrupted");
    return kExitInterrupted;
}

std::optional<int> LoadOneDisk(const CliArgs& args, RecoverySession& session) {
    const auto& paths = args.All("--disk");
    if (paths.size() != 1) return UsageError(args.command + " needs exactly one --disk PATH");
    if (auto problem = session.LoadDisks(paths, false)) return Fail(*problem);
    return std::nullopt;
}

bool FindDrives(const CliArgs& args, RecoverySession& session, const InterruptStop& stop) {
    StderrNotifier notifier;
    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotSearchStatus);
    const DriveDiscovery how =
        args.Has("--search") ? DriveDiscovery::kSearchDisk : DriveDiscovery::kPartitionTable;
    const bool found = session.FindDrives(0, how, progress, notifier, stop.flag());
    progress.Finish();
    return found;
}

std::optional<int> ScanChosenDrive(const CliArgs& args, RecoverySession& session,
                                   const InterruptStop& stop) {
    std::optional<std::size_t> requested;
    if (const auto drive = args.One("--drive")) {
        requested = ParseDriveNumber(*drive);
        if (!requested) return UsageError("--drive takes a drive number from 1");
    }
    if (auto failed = LoadOneDisk(args, session)) return failed;
    if (!FindDrives(args, session, stop))
        return stop.Requested() ? ReportInterrupted() : kExitFailure;
    if (stop.Requested()) return ReportInterrupted();

    StderrNotifier notifier;
    const std::size_t driveCount = session.Drives().size();
    if (requested && *requested > driveCount) {
        return Fail("the disk has " + std::to_string(driveCount) +
                    " logical drive(s); there is no drive " + std::to_string(*requested));
    }
    const DriveOpening opening = requested ? session.OpenDrive(*requested - 1, notifier)
                                           : session.OpenFirstNtfsDrive(notifier);
    if (opening != DriveOpening::kOpened) return kExitFailure;

    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotPhase);
    session.Scan(progress, notifier, stop.flag());
    if (args.Has("--advance") && !stop.Requested()) session.AdvanceSearch(progress, stop.flag());
    progress.Finish();
    if (stop.Requested()) return ReportInterrupted();
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
