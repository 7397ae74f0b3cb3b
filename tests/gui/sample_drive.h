#pragma once
// What the browsing and recovery tests share: fixture paths, a notifier that keeps
// quiet, the sample disk scanned through the session, and tree items found by path.
#include <QModelIndex>
#include <QStringList>
#include <filesystem>
#include <string>

#include "app/browse/left_view.h"
#include "common/reporting.h"
#include "session/recovery_session.h"

namespace tarvik::testing {

inline std::string Fixture(const char* name) {
    return (std::filesystem::path(TARVIK_FIXTURE_DIR) / name).string();
}

class QuietNotifier final : public Notifier {
  public:
    void Notify(const std::string&, const std::string&, NoticeIcon) override {}
};

// Loads a fixture disk into the session, opens its first drive and scans it, with the
// files' conditions weighed as the scanning dialog has them weighed.
inline bool ScanFirstDrive(RecoverySession& session, const char* image) {
    NullProgressSink quiet;
    QuietNotifier notifier;
    if (session.LoadDisks({Fixture(image)}, false)) return false;
    if (!session.FindDrives(0, DriveDiscovery::kPartitionTableOnly, quiet, notifier)) return false;
    if (session.OpenDrive(0, notifier) != DriveOpening::kOpened) return false;
    ScanSteps steps;
    steps.conditionsBarOnly = true;
    return !session.ScanDrive(steps, quiet, notifier).readNothing;
}

// The tree item at a path of folder names below Root; invalid when there is none.
inline QModelIndex TreeItemAt(CLeftView* tree, const QStringList& path) {
    QModelIndex at = tree->Model()->index(0, 0);
    for (const QString& name : path) {
        const QModelIndexList found = tree->Model()->match(
            tree->Model()->index(0, 0, at), Qt::DisplayRole, name, 1, Qt::MatchExactly);
        if (found.isEmpty()) return {};
        at = found.first();
    }
    return at;
}

}  // namespace tarvik::testing
