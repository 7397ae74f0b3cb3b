#pragma once
// The cluster size a volume really has, told by its MFT when the boot sector's own is in
// doubt.
#include <cstdint>
#include <optional>

#include "disk/sector_source.h"
#include "ntfs/boot_sector.h"

namespace tarvik {

// The largest cluster NTFS writes (2 MiB), in 512-byte units.
inline constexpr std::uint32_t kMaxClusterUnits = (2u << 20) / 512;

// Whether clusters of `unitsPerCluster` 512-byte units put the MFT's first records where
// the boot sector's MFT and mirror cluster numbers say: record 0 ($MFT) in use there,
// its data starting at the MFT cluster, or record 1 ($MFTMirr) right after it, its data
// starting at the mirror cluster; or the same pair at the mirror's place. A record that
// points back at its own place cannot be met there by chance.
bool MftConfirmsClusterUnits(SectorSource& source, const NtfsBootSector& boot,
                             std::uint32_t unitsPerCluster);

// A sectors-per-cluster byte damaged to another valid-looking value (in both copies of
// the boot sector alike) reads every file from the wrong place. The MFT cluster number
// is a separate field: every cluster size from one sector to 2 MiB is tried with it, the
// boot sector's own first, and the one the MFT confirms is taken. Nothing when none is.
std::optional<std::uint32_t> FindClusterUnitsByMft(SectorSource& source,
                                                   const NtfsBootSector& boot);

}  // namespace tarvik
