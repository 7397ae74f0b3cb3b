#pragma once
// What the desktop benchmarks share: the image loaded into the session and its first
// NTFS drive opened, with nothing shown. The caller then times its own dialog.
#include <cstdio>

#include "session/recovery_session.h"

namespace tarvik::bench {

// False, after saying why on stderr where there is a reason, when the drive cannot be
// opened.
inline bool OpenFirstNtfsDrive(RecoverySession& session, const char* image) {
    if (auto problem = session.LoadDisks({image}, false)) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return false;
    }
    NullNotifier quiet;
    NullProgressSink none;
    session.FindDrives(0, DriveDiscovery::kPartitionTable, none, quiet);
    return session.OpenFirstNtfsDrive(quiet) == DriveOpening::kOpened;
}

}  // namespace tarvik::bench
