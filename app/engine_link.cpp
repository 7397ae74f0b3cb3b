#include "app/engine_link.h"

#include "ntfs/scan_engine.h"

namespace tarvik {

namespace {

std::uint32_t AllFiles(const ScanCounters& c) {
    return c.normalFiles + c.lostFiles + c.deletedFiles;
}
std::uint32_t AllDirectories(const ScanCounters& c) {
    return c.normalDirectories + c.lostDirectories + c.deletedDirectories;
}

}  // namespace

std::optional<DriveProperties> DrivePropertiesOf(const ScanEngine* engine) {
    if (!engine) return std::nullopt;
    DriveProperties properties;
    properties.driveCode = engine->driveCode;
    properties.sectorsPerCluster = engine->sectorsPerCluster;
    properties.partitionStart = engine->firstSector;
    properties.partitionSize = engine->sizeInSectors;
    properties.mftStart = engine->mftStart;
    properties.totalFiles = AllFiles(engine->counters);
    properties.totalDirectories = AllDirectories(engine->counters);
    properties.deletedFiles = engine->counters.deletedFiles;
    properties.deletedDirectories = engine->counters.deletedDirectories;
    return properties;
}

std::optional<EngineTotals> TotalsOf(const ScanEngine* engine) {
    if (!engine) return std::nullopt;
    EngineTotals totals;
    totals.bytes = static_cast<std::uint32_t>(engine->totalSize);
    totals.files = AllFiles(engine->counters);
    totals.folders = AllDirectories(engine->counters);
    return totals;
}

}  // namespace tarvik
