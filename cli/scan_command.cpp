// The scan command: every entry of a drive's catalogue, placed as the folder tree
// places it.
#include <cstdio>

#include "catalogue/entry_date.h"
#include "catalogue/tree_placement.h"
#include "cli/commands.h"
#include "cli/drive_choice.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "ntfs/scan_texts.h"

namespace tarvik::cli {

namespace {

const char* StateOf(const CatalogueEntry& entry) {
    if (entry.IsCarved() && !entry.IsDirectory()) return "carved";
    if (entry.IsMadeUp()) return "made-up";
    return entry.IsDeleted() ? "deleted" : "normal";
}

}  // namespace

int RunScanCommand(const DriveOptions& options) {
    RecoverySession session;
    const InterruptStop stop;
    if (auto failed = ScanChosenDrive(options, session, stop)) return *failed;
    TerminalProgress progress;
    progress.SetHeadlineSlot(kSlotPhase);
    const ConditionTable& conditions = session.Conditions(progress, stop.flag());
    progress.Finish();
    if (stop.Requested()) return ReportInterrupted();
    const Catalogue& catalogue = session.GetCatalogue();
    const std::vector<PlacedEntry>& placed = session.Placement();
    std::size_t shortenedPaths = 0;
    for (std::size_t position = 0; position < placed.size(); ++position) {
        // The listing of a million entries takes a while on a slow terminal: Ctrl-C ends it.
        if (stop.Requested()) {
            std::fflush(stdout);
            return ReportInterrupted();
        }
        bool shortened = false;
        const std::string path = ShownPlacedPath(catalogue, placed, position, shortened);
        shortenedPaths += shortened ? 1 : 0;
        const CatalogueEntry& entry = catalogue.At(placed[position].catalogueIndex);
        const auto size = static_cast<unsigned long long>(entry.size);
        const std::uint32_t number = entry.number;
        const std::uint32_t parent = entry.parent;
        const std::size_t index = placed[position].catalogueIndex;
        std::printf("%s\t%s\t%llu\t%s\t%u\t%u\t%s\t%s\t%s\n", entry.IsDirectory() ? "Dir" : "File",
                    StateOf(entry), size, FormatIsoTime(entry.creationTime).c_str(), number, parent,
                    path.c_str(), ConditionWord(conditions.Condition(index).condition),
                    FormatPreciseTime(conditions.Times(index).modification).c_str());
    }
    const int status = FinishOutput(kExitOk);
    if (status != kExitOk) return status;
    if (!options.saveScan.empty()) {
        if (auto failed = session.SaveScan(options.saveScan))
            return Fail("the scan cannot be saved to " + options.saveScan + ": " + *failed);
    }
    std::fprintf(stderr, "%s\n", CountersLine(session.Engine().counters()).c_str());
    if (shortenedPaths > 0) {
        std::fprintf(stderr,
                     "tarvik-cli: %zu paths longer than %zu bytes are shortened: the folders "
                     "nearest the root are left out, shown as one name \\[N folders]\n",
                     shortenedPaths, kMaxShownPathBytes);
    }
    return kExitOk;
}

}  // namespace tarvik::cli
