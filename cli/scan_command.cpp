// The scan command: every entry of a drive's catalogue, placed as the folder tree
// places it.
#include <cstdio>

#include "catalogue/tree_placement.h"
#include "cli/commands.h"
#include "cli/drive_choice.h"
#include "cli/scan_listing.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "scan/scan_texts.h"

namespace tarvik::cli {

int RunScanCommand(const DriveOptions& options) {
    RecoverySession session;
    const InterruptStop stop;
    if (auto failed = ScanChosenDrive(options, session, stop)) return *failed;
    NullProgressSink weighed;  // weighed by the scan already
    const ConditionTable& conditions = session.Conditions(weighed, stop.flag());
    const Catalogue& catalogue = session.GetCatalogue();
    const std::vector<PlacedEntry>& placed = session.Placement();
    const ListingOutcome listing = WriteScanListing(catalogue, placed, conditions, stop);
    if (listing.stopped) {
        std::fflush(stdout);
        return ReportInterrupted();
    }
    const int status = FinishOutput(kExitOk);
    if (status != kExitOk) return status;
    if (!options.saveScan.empty()) {
        if (auto failed = session.SaveScan(options.saveScan))
            return Fail("the scan cannot be saved to " + options.saveScan + ": " + *failed);
    }
    std::fprintf(stderr, "%s\n", CountersLine(session.Engine().counters()).c_str());
    if (listing.shortenedPaths > 0) {
        std::fprintf(stderr,
                     "tarvik-cli: %zu paths longer than %zu bytes are shortened: the folders "
                     "nearest the root are left out, shown as one name \\[N folders]\n",
                     listing.shortenedPaths, kMaxShownPathBytes);
    }
    return kExitOk;
}

}  // namespace tarvik::cli
