// A whole volume from fuzz bytes: boot validation, the normal scan with all its phases,
// housekeeping and the folder placement, all reading from memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "catalogue/tree_placement.h"
#include "disk/memory_sector_source.h"
#include "ntfs/scan_engine.h"
#include "ntfs/scan_phases.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 512 || size > (1u << 22)) return 0;
    std::vector<std::uint8_t> volume(data, data + size);
    volume.resize((size + 511) / 512 * 512);
    const auto sectors = static_cast<std::uint32_t>(volume.size() / 512);
    tarvik::ScanEngine engine(0x80,
                              std::make_unique<tarvik::MemorySectorSource>(std::move(volume)));
    engine.SetDrive(0, sectors);
    tarvik::NullNotifier notifier;
    tarvik::NullProgressSink progress;
    if (!engine.ValidateBootSector(notifier)) return 0;
    tarvik::RunNormalScan(engine, progress, notifier);
    tarvik::RunHousekeeping(engine, progress);
    tarvik::PlaceEntries(engine.catalogue, engine.folderTable);
    return 0;
}
