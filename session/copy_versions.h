#pragma once
// What the live volume and a scanned shadow copy hold at each tree path, and which files
// of the copy are versions of their path that neither the live volume nor an earlier copy
// holds: shared by the writing of the versions and the marks of the files that have them.
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "recovery/file_versions.h"
#include "session/recovery_session.h"

namespace tarvik {

// The file a recovery writes at a tree path (its entry in use, else the first of its path).
struct LiveVersion {
    bool inUse = false;
    FileVersionKey key;
    std::size_t position = 0;  // in the session's check tree
};
using LiveVersions = std::unordered_map<std::string, LiveVersion>;

LiveVersions VersionsByPath(RecoverySession& session, ProgressSink& progress, const StopFlag* stop);

// One file of a scanned copy that is a version worth writing.
struct CopyVersion {
    std::size_t position = 0;  // in the copy's check tree
    std::string path;
};

// The files of the scanned copy `old` in use, not empty and not the volume's own, that
// `wanted` takes and that are another version than the live one (`live`) and those met
// before (`seen`, which they are added to). `wanted` is given the live file at the path
// (nullptr when the live volume has none).
std::vector<CopyVersion> CopyVersions(
    RecoverySession& old, const LiveVersions& live, VersionsSeen& seen,
    const std::function<bool(const CatalogueEntry&, const std::string&, const LiveVersion*)>&
        wanted,
    ProgressSink& progress, const StopFlag* stop);

}  // namespace tarvik
