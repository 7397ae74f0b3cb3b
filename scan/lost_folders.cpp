#include <algorithm>
#include <cstdio>

#include "scan/record_number_set.h"
#include "scan/scan_phases.h"
#include "scan/scan_state.h"
#include "scan/scan_texts.h"

namespace tarvik {

namespace {

CatalogueEntry MadeUpFolder(const char* format, std::uint32_t counter, std::uint32_t number,
                            std::uint32_t parent) {
    char name[32];
    std::snprintf(name, sizeof name, format, static_cast<unsigned long>(counter));
    return MadeUpFolderEntry(name, number, parent);
}

// A number no record of the drive can have and no entry already has, so that what the
// lost-folder root holds is never also shown, or written, under a real folder.
std::uint32_t UnusedFolderNumber(const ScanState& state) {
    std::uint64_t number =
        std::max({state.mftMap.recordCount(), std::uint64_t{state.foundRecords.size()},
                  state.reservedNumbersEnd}) +
        1;
    const Catalogue& catalogue = state.catalogue;
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        const std::uint64_t own = catalogue.NumberAt(i);
        if (own >= kStaleParentNumbersFirst && catalogue.IsMadeUpAt(i)) continue;
        number = std::max(number, own + 1);
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(number, 0xFFFFFFFFu));
}

void ShowLostCounters(ProgressSink& progress, const ScanCounters& counters) {
    progress.SetText(kSlotLostFiles, std::to_string(counters.lostFiles));
    progress.SetText(kSlotLostDirectories, std::to_string(counters.lostDirectories));
}

}  // namespace

void RunLostFilesPhase(ScanState& state, ProgressSink& progress, std::size_t firstIndex) {
    Catalogue& catalogue = state.catalogue;
    PhaseProgress phase(progress, kPhase3, catalogue.Count());

    // Asked once per entry: the known folders by bit for numbers within the MFT (the
    // list only grows, and the folders this phase makes are added to both).
    RecordNumberSet known;
    known.Cover(state.mftMap.recordCount());
    for (const std::uint32_t number : state.directoryIds.Numbers()) known.Insert(number);

    // The root of this run's made-up folders is made with the first of them: a catalogue
    // whose every parent is known gets none.
    const std::uint32_t lostRoot = UnusedFolderNumber(state);
    bool rootMade = false;
    const auto makeRoot = [&] {
        if (!catalogue.Append(MadeUpFolder("Lost Folder %04lu", state.lostFolderCounter, lostRoot,
                                           kRootFolderNumber))) {
            return false;
        }
        state.directoryIds.Append(lostRoot);
        known.Insert(lostRoot);
        ++state.counters.lostDirectories;
        ++state.lostFolderCounter;
        rootMade = true;
        return true;
    };

    for (std::size_t i = firstIndex; i < catalogue.Count(); ++i) {
        if (phase.At(i)) ShowLostCounters(progress, state.counters);
        const std::uint32_t parent = catalogue.ParentAt(i);
        if (parent == kRootFolderNumber || parent == 0 || known.Contains(parent)) continue;
        if (!rootMade && !makeRoot()) break;
        // Counted only once catalogued, so a full catalogue leaves the counters true.
        if (!catalogue.Append(
                MadeUpFolder("Folder %04lu", state.folderCounter, parent, lostRoot))) {
            break;
        }
        state.directoryIds.Append(parent);
        known.Insert(parent);
        ++state.counters.lostDirectories;
        ++state.folderCounter;
    }
    ShowLostCounters(progress, state.counters);
}

}  // namespace tarvik
