#pragma once
// Texts of a scan, and the slots its progress texts go to.
#include "common/progress_slot.h"

namespace tarvik {

inline constexpr const char* kPhase1Mft = "Phase 1 of 4: Searching Normal Files and Directories";
inline constexpr const char* kPhase1Drive = "Phase 1 of 4: Searching Normal Files in Drive";
inline constexpr const char* kPhase2Mft = "Phase 2 of 4: Searching Deleted Files and Directories";
inline constexpr const char* kPhase2Drive = "Phase 2 of 4: Searching Deleted Files in Drive";
inline constexpr const char* kPhase2Disk = "Phase 2 of 4: Searching Deleted Files in Disk";
inline constexpr const char* kPhase3 = "Phase 3 of 4: Searching Lost Files and Directories";
inline constexpr const char* kPhase4 = "Phase 4 of 4: Housekeeping";

inline constexpr const char* kFatDriveText = "Use Corvane Miravel FAT to Recover FAT Drive";
inline constexpr const char* kInvalidDriveCaption = "Invalid Drive";

inline constexpr const char* kClusterSizeUnverifiedText =
    "The boot sector's cluster size (%s bytes) could not be confirmed: no cluster size puts "
    "the MFT's first records where the boot sector says. Files are read with it, but none "
    "is called intact: their recovered bytes are unverified.";
inline constexpr const char* kClusterSizeUnverifiedCaption = "Cluster Size Unverified";

}  // namespace tarvik
