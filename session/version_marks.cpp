// The marks of the entries with older versions, found by scanning each shadow copy of
// the open drive, and the recovery of the chosen entries with their versions.
#include "session/version_marks.h"

#include <algorithm>
#include <optional>

#include "session/copy_versions.h"
#include "session/recovery_session.h"

namespace tarvik {

void VersionMarks::Add(std::size_t catalogueIndex, const VersionSource& source) {
    byEntry_[catalogueIndex].push_back(source);
}

void VersionMarks::AddToRoot(const VersionSource& source) {
    root_.push_back(source);
}

const std::vector<VersionSource>& VersionMarks::Of(std::size_t catalogueIndex) const {
    static const std::vector<VersionSource> kNone;
    const auto found = byEntry_.find(catalogueIndex);
    return found == byEntry_.end() ? kNone : found->second;
}

std::string VersionMarks::Describe(const std::vector<VersionSource>& versions, bool folder) {
    if (versions.empty()) return {};
    const std::size_t count = versions.size();
    std::string text = std::to_string(count) + (count == 1 ? " older version" : " older versions");
    text += folder ? " of files in this folder, in:" : " in:";
    std::vector<std::size_t> named;
    for (const VersionSource& version : versions) {
        if (std::find(named.begin(), named.end(), version.copy) != named.end()) continue;
        named.push_back(version.copy);
        text += "\n" + ShadowCopyName(version.copy, version.creationTime);
    }
    return text;
}

namespace {

// Marks the live entry at a version's path, and every folder above it up to the root.
// A file the live volume no longer has marks the nearest folder above it that it has.
void MarkVersion(VersionMarks& marks, const CheckTree& tree, const LiveVersions& live,
                 const std::unordered_map<std::string, std::size_t>& folders,
                 const std::string& path, const VersionSource& source) {
    std::optional<std::size_t> folder;
    if (const auto at = live.find(path); at != live.end()) {
        marks.Add(tree.Placed()[at->second.position].catalogueIndex, source);
        folder = tree.ParentOf(at->second.position);
    } else {
        std::string above = path;
        for (std::size_t slash = above.rfind('/'); slash != std::string::npos && !folder;
             slash = above.rfind('/')) {
            above.resize(slash);
            if (const auto found = folders.find(above); found != folders.end())
                folder = found->second;
        }
    }
    for (; folder; folder = tree.ParentOf(*folder))
        marks.Add(tree.Placed()[*folder].catalogueIndex, source);
    marks.AddToRoot(source);
}

}  // namespace

VersionMarks RecoverySession::FindVersions(ProgressSink& progress, const StopFlag* stop) {
    VersionMarks marks;
    if (!engine_ || openCopy_ != 0) return marks;
    // A drive without shadow copies costs this one read of its store's header.
    const std::vector<ShadowCopySummary> copies = ShadowCopies(openRow_);
    if (copies.empty()) return marks;
    const LiveVersions live = VersionsByPath(*this, progress, stop);
    const CheckTree& tree = Checks();
    std::unordered_map<std::string, std::size_t> folders;
    for (std::size_t p = 0; p < tree.Placed().size(); ++p) {
        if (tree.Placed()[p].unplaced) continue;
        if (GetCatalogue().At(tree.Placed()[p].catalogueIndex).IsDirectory())
            folders.emplace(tree.PathOf(p), p);
    }
    // A copy that cannot be read was told of when the drive was listed: passed over here.
    NullNotifier quiet;
    VersionsSeen seen;
    const auto everything = [](const CatalogueEntry&, const std::string&, const LiveVersion*) {
        return true;
    };
    for (const ShadowCopySummary& copy : copies) {
        if (stop != nullptr && stop->load()) break;
        RecoverySession old;
        if (!ScanOwnCopy(old, copy.number, progress, quiet, stop)) continue;
        if (stop != nullptr && stop->load()) break;
        for (const CopyVersion& version : CopyVersions(old, live, seen, everything, progress, stop))
            MarkVersion(marks, tree, live, folders, version.path, {copy.number, copy.creationTime});
    }
    return marks;
}

VersionsResult RecoverySession::RecoverWithVersions(const std::vector<std::string>& treePaths,
                                                    const std::string& destination,
                                                    ProgressSink& progress, Notifier& notifier,
                                                    const StopFlag* stop, RecoveryResult& live) {
    VersionsResult versions;
    live = {};
    if (!engine_ || openCopy_ != 0) return versions;
    // The chosen entries are checked in a copy of the tree: this runs on a worker while the
    // windows show the user's own marks, which stay as they are.
    CheckTree chosen = Checks();
    if (const auto missing = chosen.SelectPaths(treePaths))
        notifier.Notify("No entry at " + *missing, "Shadow Copies", NoticeIcon::Warning);
    RecoveryPlan plan;
    plan.destination = destination;
    plan.mode = RecoveryMode::kSelected;
    plan.keepReport = true;
    plan.marks = &chosen.Marks();
    live = Recover(plan, progress, notifier, stop);
    if (!live.refused && !live.stopped && live.rootCreated)
        versions = RecoverVersions(destination, RecoveryMode::kSelected, progress, notifier, stop,
                                   &chosen);
    return versions;
}

}  // namespace tarvik
