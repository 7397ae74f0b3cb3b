#include "cli/scan_session.h"

#include <cstdlib>

#include "cli/commands.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "ntfs/drive_search.h"
#include "ntfs/scan_phases.h"
#include "ntfs/scan_texts.h"
#include "partition/drive_list.h"
#include "partition/logical_drive_search.h"
#include "partition/partition_types.h"
#include "partition/partition_walk.h"

namespace tarvik::cli {

namespace {

std::optional<std::size_t> ParseDriveNumber(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value == 0) return std::nullopt;
    return static_cast<std::size_t>(value);
}

std::optional<std::size_t> FirstScannedRow(const DriveList& list) {
    for (std::size_t row = 0; row < list.Count(); ++row) {
        if (IsScannedType(list.EntryAt(row)->partitionType)) return row;
    }
    return std::nullopt;
}

}  // namespace

bool FindLogicalDrives(bool search, DriveList& list, Notifier& notifier) {
    const DriveCode disk = PhysicalDiskCode(0);
    // An empty walk has announced the bad table; the search follows as if asked for.
    if (!search && StartPartitionWalk(disk, list, notifier) != 0) return true;
    FoundDriveTable found;
    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotSearchStatus);
    SearchLogicalDrives(disk, found, progress, {nullptr, &notifier});
    progress.Finish();
    if (found.Empty()) {
        notifier.Notify(kFatDriveText, kInvalidDriveCaption, NoticeIcon::Warning);
        return false;
    }
    RebuildDriveListFromSearch(found, list);
    return true;
}

std::string CountersLine(const ScanCounters& c) {
    return "Normal Files " + std::to_string(c.normalFiles) + ", Normal Directories " +
           std::to_string(c.normalDirectories) + ", Deleted Files " +
           std::to_string(c.deletedFiles) + ", Deleted Directories " +
           std::to_string(c.deletedDirectories) + ", Lost Files " + std::to_string(c.lostFiles) +
           ", Lost Directories " + std::to_string(c.lostDirectories);
}

ScanOutcome ScanChosenDrive(const CliArgs& args) {
    ScanOutcome outcome;
    const auto& paths = args.All("--disk");
    if (paths.size() != 1) {
        outcome.exitStatus = UsageError(args.command + " needs exactly one --disk PATH");
        return outcome;
    }
    std::optional<std::size_t> requested;
    if (const auto drive = args.One("--drive")) {
        requested = ParseDriveNumber(*drive);
        if (!requested) {
            outcome.exitStatus = UsageError("--drive takes a drive number from 1");
            return outcome;
        }
    }
    if (auto problem = LoadDiskTable(paths, false)) {
        outcome.exitStatus = Fail(*problem);
        return outcome;
    }

    StderrNotifier notifier;
    DriveList& list = ProcessDriveList();
    outcome.exitStatus = kExitFailure;
    if (!FindLogicalDrives(args.Has("--search"), list, notifier)) return outcome;
    const auto row = requested ? std::optional<std::size_t>(*requested - 1) : FirstScannedRow(list);
    if (row && *row >= list.Count()) {
        outcome.exitStatus =
            Fail("the disk has " + std::to_string(list.Count()) +
                 " logical drive(s); there is no drive " + std::to_string(*row + 1));
        return outcome;
    }
    if (!row || !IsScannedType(list.EntryAt(*row)->partitionType)) {
        notifier.Notify(kFatDriveText, kInvalidDriveCaption, NoticeIcon::Warning);
        return outcome;
    }
    const LogicalDriveEntry drive = *list.EntryAt(*row);
    list.DiscardPrevious();

    auto engine = std::make_unique<ScanEngine>(PhysicalDiskCode(0));
    engine->SetDrive(static_cast<std::uint32_t>(drive.startSector),
                     static_cast<std::uint32_t>(drive.sizeInSectors()));
    if (!engine->ValidateBootSector(notifier)) return outcome;

    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotPhase);
    RunNormalScan(*engine, progress, notifier);
    RunHousekeeping(*engine, progress);
    if (args.Has("--advance")) {
        engine->advanceSearch = true;
        if (RunAdvanceSearch(*engine, progress)) RunHousekeeping(*engine, progress);
    }
    progress.Finish();
    outcome.engine = std::move(engine);
    outcome.exitStatus = kExitOk;
    return outcome;
}

}  // namespace tarvik::cli
