#include <algorithm>
#include <cstdio>

#include "ntfs/scan_engine.h"
#include "ntfs/scan_phases.h"
#include "ntfs/scan_texts.h"

namespace tarvik {

namespace {

CatalogueEntry MadeUpFolder(const char* format, std::uint32_t counter, std::uint32_t number,
                            std::uint32_t parent) {
    char name[32];
    std::snprintf(name, sizeof name, format, static_cast<unsigned long>(counter));
    CatalogueEntry entry{};
    entry.SetName(name);
    entry.attribute = kAttributeDirectory;
    entry.number = number;
    entry.parent = parent;
    entry.madeUp = 1;
    entry.madeUpSecond = 1;
    return entry;
}

// A number no record of the drive can have and no entry already has, so that what the
// lost-folder root holds is never also shown, or written, under a real folder.
std::uint32_t UnusedFolderNumber(const ScanEngine& engine) {
    std::uint64_t number =
        std::max<std::uint64_t>(engine.mftMap().recordCount(), engine.mftSectorTable.size()) + 1;
    for (const CatalogueEntry& entry : engine.catalogue.Entries()) {
        const std::uint64_t own = entry.number;
        number = std::max(number, own + 1);
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(number, 0xFFFFFFFFu));
}

void ShowLostCounters(ProgressSink& progress, const ScanCounters& counters) {
    progress.SetText(kSlotLostFiles, std::to_string(counters.lostFiles));
    progress.SetText(kSlotLostDirectories, std::to_string(counters.lostDirectories));
}

}  // namespace

void RunLostFilesPhase(ScanEngine& engine, ProgressSink& progress, std::size_t firstIndex) {
    Catalogue& catalogue = engine.catalogue;
    StartScanPhase(progress, kPhase3, catalogue.Count());

    const std::uint32_t lostRoot = UnusedFolderNumber(engine);
    ++engine.counters.lostFiles;
    ++engine.counters.lostDirectories;
    engine.directoryIds.Append(lostRoot);
    catalogue.Append(
        MadeUpFolder("Lost Folder %04lu", engine.lostFolderCounter, lostRoot, kRootFolderNumber));
    ++engine.lostFolderCounter;

    for (std::size_t i = firstIndex; i < catalogue.Count(); ++i) {
        progress.StepIt();
        const std::uint32_t parent = catalogue.At(i).parent;
        if (parent == kRootFolderNumber || parent == 0 || engine.directoryIds.Contains(parent))
            continue;
        ++engine.counters.lostFiles;
        ++engine.counters.lostDirectories;
        ShowLostCounters(progress, engine.counters);
        engine.directoryIds.Append(parent);
        if (!catalogue.Append(
                MadeUpFolder("Folder %04lu", engine.folderCounter, parent, lostRoot))) {
            break;
        }
        ++engine.folderCounter;
    }
    ShowLostCounters(progress, engine.counters);
}

}  // namespace tarvik
