// The recover command: scans a drive like `scan`, then writes all, the deleted or the
// selected files into DIR/Root.
#include <cstdio>

#include "cli/commands.h"
#include "cli/drive_choice.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "recovery/recovery_texts.h"

namespace tarvik::cli {

namespace {

std::optional<std::string> BuildFilter(const CliArgs& args, RecoverySession& session) {
    const bool exclude = !args.All("--exclude").empty();
    const auto& patterns = exclude ? args.All("--exclude") : args.All("--include");
    if (patterns.empty()) return std::nullopt;
    auto filter = std::make_unique<FileFilter>();
    for (const std::string& pattern : patterns) {
        if (!filter->AddPattern(pattern)) {
            return "pattern '" + pattern + "' refused: at most " +
                   std::to_string(FileFilter::kMaxPatterns) + " patterns of 1 to " +
                   std::to_string(FileFilter::kMaxPatternLength) + " bytes";
        }
    }
    filter->SetMode(exclude ? FilterMode::kExclude : FilterMode::kInclude);
    session.SetFileFilter(std::move(filter));
    return std::nullopt;
}

}  // namespace

int RunRecoverCommand(const std::vector<std::string>& words) {
    std::string error;
    const CommandOptions options{{"--disk", "--drive", "--out"},
                                 {"--all", "--deleted", "--search", "--advance"},
                                 {"--select", "--include", "--exclude"}};
    const auto args = ParseArgs("recover", words, options, error);
    if (!args) return UsageError(error);
    if (!args->positional.empty()) return UsageError("unexpected argument " + args->positional[0]);
    const auto out = args->One("--out");
    if (!out || out->empty()) return UsageError("recover needs --out DIR");
    const bool select = !args->All("--select").empty();
    if (int(args->Has("--all")) + int(args->Has("--deleted")) + int(select) != 1)
        return UsageError("recover needs exactly one of --all, --deleted, --select TREEPATH...");
    if (!args->All("--include").empty() && !args->All("--exclude").empty())
        return UsageError("--include and --exclude cannot be used together");

    RecoverySession session;
    const InterruptStop stop;
    if (auto failed = ScanChosenDrive(*args, session, stop)) return *failed;
    if (auto problem = BuildFilter(*args, session)) return UsageError(*problem);
    RecoveryMode mode = args->Has("--all") ? RecoveryMode::kAll : RecoveryMode::kDeleted;
    if (select) {
        mode = RecoveryMode::kSelected;
        if (auto missing = session.Checks().SelectPaths(args->All("--select")))
            return Fail("no entry at " + *missing + " (paths as `scan` lists them)");
    }

    StderrNotifier notifier;
    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotSavingText);
    const RecoveryResult result = session.Recover(*out, mode, progress, notifier, stop.flag());
    progress.Finish();
    if (result.refused) return kExitFailure;
    std::printf(
        "Written %llu files, %llu bytes; skipped %llu filtered, %llu empty; "
        "unreadable sectors %llu\n",
        static_cast<unsigned long long>(result.filesWritten),
        static_cast<unsigned long long>(result.bytesWritten),
        static_cast<unsigned long long>(result.skippedFiltered),
        static_cast<unsigned long long>(result.skippedEmpty),
        static_cast<unsigned long long>(result.unreadableSectors));
    std::fflush(stdout);
    if (result.stopped) std::fprintf(stderr, "tarvik-cli: stopped before the end\n");
    // Each failure was told as it happened; the count says how much is missing.
    if (result.filesFailed != 0) {
        std::fprintf(stderr, "tarvik-cli: %llu files could not be written whole\n",
                     static_cast<unsigned long long>(result.filesFailed));
    }
    const bool failures =
        result.destinationFull || result.filesFailed != 0 || result.creationFailures != 0;
    return result.rootCreated && result.filesWritten > 0 && !failures ? kExitOk : kExitFailure;
}

}  // namespace tarvik::cli
