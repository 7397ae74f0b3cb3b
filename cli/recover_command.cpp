// The recover command: scans a drive like `scan`, then writes all, the deleted or the
// selected files into DIR/Root.
#include <csignal>
#include <cstdio>

#include "catalogue/tree_placement.h"
#include "cli/commands.h"
#include "cli/scan_session.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "recovery/file_filter.h"
#include "recovery/recovery_texts.h"
#include "recovery/recovery_writer.h"

namespace tarvik::cli {

namespace {

StopFlag gStop{false};

extern "C" void OnInterrupt(int) {
    gStop.store(true);
}

bool Under(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// Checks the tree paths as the folder tree does: a folder with everything inside it, or
// one file; the folders above each become partly checked so the writer goes down to it.
// Returns the first path that names no entry.
std::optional<std::string> SelectPaths(ScanEngine& engine,
                                       const std::vector<std::string>& treePaths) {
    Catalogue& catalogue = engine.catalogue;
    catalogue.SetAllCheckStates(kCheckUnchecked);
    const auto placed = PlaceEntries(catalogue, engine.folderTable);
    for (std::string wanted : treePaths) {
        while (wanted.size() > 1 && wanted.back() == '/') wanted.pop_back();
        if (wanted == kListingRootName) {
            catalogue.SetAllCheckStates(kCheckChecked);
            continue;
        }
        bool found = false;
        for (const PlacedEntry& entry : placed) {
            if (entry.path == wanted || Under(entry.path, wanted)) {
                found = found || entry.path == wanted;
                catalogue.SetCheckState(entry.catalogueIndex, kCheckChecked);
            }
        }
        if (!found) return wanted;
        for (const PlacedEntry& entry : placed) {
            const std::int32_t state = catalogue.At(entry.catalogueIndex).checkState;
            if (Under(wanted, entry.path) && state != kCheckChecked)
                catalogue.SetCheckState(entry.catalogueIndex, kCheckPartly);
        }
    }
    return std::nullopt;
}

std::optional<std::string> BuildFilter(const CliArgs& args, std::unique_ptr<FileFilter>& built) {
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
    built = std::move(filter);
    return std::nullopt;
}

}  // namespace

int RunRecoverCommand(const std::vector<std::string>& words) {
    std::string error;
    const OptionSpec options{{"--disk", "--drive", "--out"},
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

    ScanOutcome outcome = ScanChosenDrive(*args);
    if (!outcome.engine) return outcome.exitStatus;
    ScanEngine& engine = *outcome.engine;
    std::unique_ptr<FileFilter> filter;
    if (auto problem = BuildFilter(*args, filter)) return UsageError(*problem);
    RecoveryMode mode = args->Has("--all") ? RecoveryMode::kAll : RecoveryMode::kDeleted;
    if (select) {
        mode = RecoveryMode::kSelected;
        if (auto missing = SelectPaths(engine, args->All("--select")))
            return Fail("no entry at " + *missing + " (paths as `scan` lists them)");
    }

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    StderrNotifier notifier;
    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotSavingText);
    RecoveryWriter writer(engine, progress, notifier, &gStop);
    writer.SetFileFilter(filter.get());
    const RecoveryResult result = writer.Run(*out, mode, args->All("--disk").front());
    progress.Finish();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
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
    return result.rootCreated && result.filesWritten > 0 ? kExitOk : kExitFailure;
}

}  // namespace tarvik::cli
