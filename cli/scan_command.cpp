// The scan command: every entry of a drive's catalogue, placed as the folder tree
// places it.
#include <cstdio>

#include "catalogue/entry_date.h"
#include "cli/commands.h"
#include "cli/drive_choice.h"

namespace tarvik::cli {

namespace {

const char* StateOf(const CatalogueEntry& entry) {
    if (entry.IsMadeUp()) return "made-up";
    return entry.IsDeleted() ? "deleted" : "normal";
}

}  // namespace

int RunScanCommand(const DriveOptions& options) {
    RecoverySession session;
    const InterruptStop stop;
    if (auto failed = ScanChosenDrive(options, session, stop)) return *failed;
    const Catalogue& catalogue = session.GetCatalogue();
    for (const PlacedEntry& placed : session.Placement()) {
        const CatalogueEntry& entry = catalogue.At(placed.catalogueIndex);
        const std::uint32_t size = entry.size;
        const std::uint32_t number = entry.number;
        const std::uint32_t parent = entry.parent;
        std::printf("%s\t%s\t%u\t%s\t%u\t%u\t%s\n", entry.IsDirectory() ? "Dir" : "File",
                    StateOf(entry), size, FormatIsoTime(entry.creationTime).c_str(), number, parent,
                    placed.path.c_str());
    }
    const int status = FinishOutput(kExitOk);
    if (status != kExitOk) return status;
    std::fprintf(stderr, "%s\n", CountersLine(session.Engine().counters()).c_str());
    return kExitOk;
}

}  // namespace tarvik::cli
