// The recover command: scans a drive like `scan`, then writes all, the deleted or the
// selected files into DIR/Root.
#include <cstdio>
#include <filesystem>
#include <optional>

#include "cli/commands.h"
#include "cli/drive_choice.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "recovery/recovery_texts.h"
#include "scan/scan_texts.h"

namespace tarvik::cli {

namespace {

// The file filter of the patterns, made before any disk is read so that a pattern
// error ends the command at once. Nothing when no pattern is given.
std::unique_ptr<FileFilter> BuildFilter(const RecoverOptions& options, std::string& error) {
    const bool exclude = !options.exclude.empty();
    const auto& patterns = exclude ? options.exclude : options.include;
    if (patterns.empty()) return nullptr;
    auto filter = std::make_unique<FileFilter>();
    for (const std::string& pattern : patterns) {
        if (!filter->AddPattern(pattern)) {
            error = "pattern '" + pattern + "' refused: at most " +
                    std::to_string(FileFilter::kMaxPatterns) + " patterns of 1 to " +
                    std::to_string(FileFilter::kMaxPatternLength) + " bytes";
            return nullptr;
        }
    }
    filter->SetMode(exclude ? FilterMode::kExclude : FilterMode::kInclude);
    return filter;
}

// Why a recovery wrote no file, in words.
std::string NothingWrittenReason(const RecoveryResult& r, RecoveryMode mode) {
    const std::uint64_t chosen =
        r.skippedFiltered + r.skippedEmpty + r.skippedCondition + r.filesFailed;
    if (chosen == 0) {
        if (mode == RecoveryMode::kDeleted) return "the drive has no deleted files";
        if (mode == RecoveryMode::kSelected) return "the selected entries hold no files";
        return "the drive has no files";
    }
    std::string reason = "of " + std::to_string(chosen) + " files";
    if (r.skippedFiltered)
        reason += ", " + std::to_string(r.skippedFiltered) + " did not pass the patterns";
    if (r.skippedEmpty) reason += ", " + std::to_string(r.skippedEmpty) + " are empty";
    if (r.skippedCondition)
        reason += ", " + std::to_string(r.skippedCondition) + " did not pass --condition";
    if (r.filesFailed) reason += ", " + std::to_string(r.filesFailed) + " could not be written";
    return reason;
}

// Nothing is written onto the disk being read, nor, unless forced, where that cannot be
// told. The reason when `path` (the --out folder or the report's) is refused.
std::optional<std::string> RefusedDestination(const RecoverySession& session,
                                              const std::string& path, const char* what,
                                              bool force) {
    const DestinationVerdict verdict = session.JudgeDestinationOf(path);
    if (verdict.standing == DestinationStanding::kOnDisk)
        return std::string(what) + " " + path +
               " lies on the disk being recovered: writing there would overwrite the deleted "
               "data being recovered; choose a folder on another disk";
    if (verdict.standing == DestinationStanding::kUncertain && !force)
        return std::string("whether ") + what + " " + path +
               " lies on the disk being recovered cannot be told: " + verdict.why +
               "; choose a folder on another disk, or give --force-destination";
    return std::nullopt;
}

// Files written with none of their bytes are no recovery, whatever was created.
bool WrittenWithoutBytes(const RecoveryResult& r, std::uint64_t chosenBytes) {
    return r.filesWritten > 0 && r.bytesWritten == 0 && chosenBytes > 0;
}

}  // namespace

int RunRecoverCommand(const RecoverOptions& options) {
    if (int(options.all) + int(options.deleted) + int(!options.select.empty()) != 1)
        return UsageError("recover needs exactly one of --all, --deleted, --select TREEPATH...");
    if (options.allVersions && options.drive.shadow)
        return UsageError(
            "--all-versions writes the versions of the live volume's files; "
            "it cannot be given with --shadow");
    std::string patternError;
    std::unique_ptr<FileFilter> filter = BuildFilter(options, patternError);
    if (!patternError.empty()) return UsageError(patternError);

    RecoverySession session;
    const InterruptStop stop;
    if (auto failed = ScanChosenDrive(options.drive, session, stop)) return *failed;
    if (filter) session.SetFileFilter(std::move(filter));
    RecoveryMode mode = options.all ? RecoveryMode::kAll : RecoveryMode::kDeleted;
    if (!options.select.empty()) {
        mode = RecoveryMode::kSelected;
        if (auto missing = session.Checks().SelectPaths(options.select))
            return Fail("no entry at " + *missing + " (paths as `scan` lists them)");
    }

    RecoveryPlan plan;
    plan.destination = options.out;
    plan.mode = mode;
    plan.condition = options.condition == "intact"    ? ConditionChoice::kIntact
                     : options.condition == "partial" ? ConditionChoice::kPartial
                                                      : ConditionChoice::kAny;
    plan.keepReport = !options.report.empty();
    plan.versions = options.allVersions;
    if (auto refused =
            RefusedDestination(session, options.out, "the destination", options.forceDestination))
        return Fail(*refused);
    if (plan.keepReport) {
        const std::string folder = std::filesystem::path(options.report).parent_path().string();
        if (auto refused = RefusedDestination(session, folder.empty() ? "." : folder,
                                              "the report's folder", options.forceDestination))
            return Fail(*refused);
    }

    StderrNotifier notifier;
    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotSavingText);
    const std::uint64_t chosenBytes = session.PlannedBytes(plan);
    progress.CountBytes(chosenBytes);
    const RecoveryResult result = session.Recover(plan, progress, notifier, stop.flag());
    session.NoteWhatRecoveryRead(result);
    progress.Finish();
    if (result.refused || !result.rootCreated) return kExitFailure;
    VersionsResult versions;
    if (!result.stopped) {
        TerminalProgress versionProgress;
        versionProgress.SetHeadlineSlot(kSlotPhase);
        versions = session.RecoverVersions(plan, versionProgress, notifier, stop.flag());
        versionProgress.Finish();
    }
    std::string reportError;
    if (plan.keepReport) reportError = session.LastReport().Save(options.report);
    // Not announced as written: the files there are empty shells.
    if (WrittenWithoutBytes(result, chosenBytes) && !result.stopped)
        return Fail("the " + std::to_string(result.filesWritten) +
                    " files created hold none of their bytes: their data could not be read "
                    "from the drive");
    // Nothing came back, and not for want of files: their records cannot be read.
    if (result.filesWritten == 0 && result.filesUnreadable != 0 && !result.stopped)
        return Fail("none of their bytes could be recovered: the records of the " +
                    std::to_string(result.filesUnreadable) +
                    " files chosen cannot be read or decoded (see the messages above)");
    std::printf(
        "Written %llu files, %llu bytes; skipped %llu filtered, %llu empty; "
        "unreadable sectors %llu\n",
        static_cast<unsigned long long>(result.filesWritten),
        static_cast<unsigned long long>(result.bytesWritten),
        static_cast<unsigned long long>(result.skippedFiltered),
        static_cast<unsigned long long>(result.skippedEmpty),
        static_cast<unsigned long long>(result.unreadableSectors));
    if (result.filesUnreadable != 0 || result.filesPartlyUnreadable != 0)
        std::printf("Unreadable files, not written: %llu; partly unreadable files: %llu\n",
                    static_cast<unsigned long long>(result.filesUnreadable),
                    static_cast<unsigned long long>(result.filesPartlyUnreadable));
    if (options.allVersions)
        std::printf("Older versions from shadow copies: written %llu, %llu bytes\n",
                    static_cast<unsigned long long>(versions.versionsWritten),
                    static_cast<unsigned long long>(versions.bytesWritten));
    if (plan.condition != ConditionChoice::kAny)
        std::printf("Skipped %llu files by condition (%s)\n",
                    static_cast<unsigned long long>(result.skippedCondition),
                    options.condition.c_str());
    const int status = FinishOutput(kExitOk);
    if (status != kExitOk) return status;
    if (!reportError.empty())
        return Fail("the report could not be saved to " + options.report + ": " + reportError);
    // The file a stop cut short has been removed; what was written before it is whole.
    if (result.stopped || versions.stopped) return ReportInterrupted();
    if (result.filesWritten == 0)
        return Fail("nothing written: " + NothingWrittenReason(result, mode));

    if (result.filesFailed > 0) {
        return Fail(std::to_string(result.filesFailed) +
                    " files could not be created or written whole (see the messages above); "
                    "free space in " +
                    options.out + " or choose another --out");
    }
    // Only folders failed (filesFailed counts every file): the files in them are missing.
    if (result.creationFailures > 0) {
        return Fail(std::to_string(result.creationFailures) +
                    " folders could not be created (see the messages above); nothing inside "
                    "them was written");
    }
    if (versions.copiesSkipped != 0 || versions.versionsNotMoved != 0) {
        std::fprintf(stderr,
                     "tarvik-cli: recovered in part: %llu shadow copies could not be read, %llu "
                     "versions were left in their copy's folder (see the messages above)\n",
                     static_cast<unsigned long long>(versions.copiesSkipped),
                     static_cast<unsigned long long>(versions.versionsNotMoved));
        return kExitIncomplete;
    }
    if (result.filesUnreadable != 0 || result.filesPartlyUnreadable != 0 ||
        result.unreadableSectors != 0) {
        std::fprintf(stderr,
                     "tarvik-cli: recovered in part: %llu files unreadable (not written), "
                     "%llu partly unreadable (%llu sectors written as zeros)\n",
                     static_cast<unsigned long long>(result.filesUnreadable),
                     static_cast<unsigned long long>(result.filesPartlyUnreadable),
                     static_cast<unsigned long long>(result.unreadableSectors));
        return kExitIncomplete;
    }
    return kExitOk;
}

}  // namespace tarvik::cli
