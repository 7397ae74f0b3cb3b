// The scan command: every entry of a drive's catalogue, placed as the folder tree
// places it.
#include <charconv>
#include <cstdio>

#include "catalogue/entry_date.h"
#include "catalogue/shown_path_walk.h"
#include "catalogue/tree_placement.h"
#include "cli/commands.h"
#include "cli/drive_choice.h"
#include "cli/stderr_reporting.h"
#include "cli/terminal_progress.h"
#include "scan/scan_texts.h"

namespace tarvik::cli {

namespace {

const char* StateOf(const CatalogueEntry& entry) {
    if (entry.IsCarved() && !entry.IsDirectory()) return "carved";
    if (entry.IsMadeUp()) return "made-up";
    return entry.IsDeleted() ? "deleted" : "normal";
}

template <typename Number>
void AppendNumber(std::string& out, Number value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// The listing goes out in large blocks: a write per line costs more than the line.
constexpr std::size_t kListingBlockBytes = 1 << 20;

void WriteListing(std::string& block) {
    std::fwrite(block.data(), 1, block.size(), stdout);
    block.clear();
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
    ShownPathWalk paths(catalogue, placed);
    std::string block;
    block.reserve(kListingBlockBytes + 2 * kMaxShownPathBytes);
    for (std::size_t position = 0; position < placed.size(); ++position) {
        // The listing of a million entries takes a while on a slow terminal: Ctrl-C ends it.
        if (stop.Requested()) {
            WriteListing(block);
            std::fflush(stdout);
            return ReportInterrupted();
        }
        const std::size_t index = placed[position].catalogueIndex;
        const CatalogueEntry& entry = catalogue.At(index);
        block += entry.IsDirectory() ? "Dir\t" : "File\t";
        block += StateOf(entry);
        block += '\t';
        AppendNumber(block, static_cast<unsigned long long>(entry.size));
        block += '\t';
        AppendIsoTime(block, entry.creationTime);
        block += '\t';
        AppendNumber(block, entry.number);
        block += '\t';
        AppendNumber(block, entry.parent);
        block += '\t';
        bool shortened = false;
        paths.AppendPath(block, position, shortened);
        shortenedPaths += shortened ? 1 : 0;
        block += '\t';
        block += ConditionWord(conditions.Condition(index).condition);
        block += '\t';
        AppendPreciseTime(block, conditions.Times(index).modification);
        block += '\n';
        if (block.size() >= kListingBlockBytes) WriteListing(block);
    }
    WriteListing(block);
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
