// A whole volume from fuzz bytes: boot validation, the normal scan with all its phases,
// housekeeping and the folder placement, then the advance search and the weighing of
// what is left of each file, all reading from memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/file_condition.h"
#include "catalogue/tree_placement.h"
#include "disk/memory_sector_source.h"
#include "scan/scan_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 512 || size > (1u << 22)) return 0;
    std::vector<std::uint8_t> volume(data, data + size);
    volume.resize((size + 511) / 512 * 512);
    const std::uint64_t sectors = volume.size() / 512;
    tarvik::ScanEngine engine(0x80, tarvik::DiskSector(0), sectors,
                              std::make_unique<tarvik::MemorySectorSource>(std::move(volume)));
    tarvik::NullNotifier notifier;
    tarvik::NullProgressSink progress;
    if (!engine.ValidateBootSector(notifier)) return 0;
    // The condition check's facts gathered in the scan's pass over the MFT, weighed first
    // against the scan's own catalogue.
    tarvik::ConditionFacts facts(engine);
    engine.Scan(progress, notifier, nullptr, &facts);
    tarvik::PlaceEntries(engine.catalogue(), engine.folderTable());
    tarvik::ConditionTable::Build(engine, progress, nullptr, &facts);
    // The records outside the MFT, an older volume's layout and their trees.
    if (engine.AdvanceSearch(progress))
        tarvik::PlaceEntries(engine.catalogue(), engine.folderTable());
    tarvik::ConditionTable::Build(engine, progress);
    return 0;
}
