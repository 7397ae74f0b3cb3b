#pragma once
// The few things the shell reads from or does to a scan engine, kept behind functions
// so that the shell's headers need only the engine's name.
#include <cstdint>
#include <optional>

namespace tarvik {

class ScanEngine;

struct DriveProperties {
    std::uint8_t driveCode = 0;
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t partitionStart = 0;
    std::uint32_t partitionSize = 0;
    std::uint32_t mftStart = 0;  // in sectors from the drive's first sector
    std::uint32_t totalFiles = 0;
    std::uint32_t totalDirectories = 0;
    std::uint32_t deletedFiles = 0;
    std::uint32_t deletedDirectories = 0;
};

struct EngineTotals {
    std::uint32_t bytes = 0;
    std::uint32_t files = 0;
    std::uint32_t folders = 0;
};

std::optional<DriveProperties> DrivePropertiesOf(const ScanEngine* engine);
std::optional<EngineTotals> TotalsOf(const ScanEngine* engine);

}  // namespace tarvik
