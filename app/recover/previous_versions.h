#pragma once
// The older versions of the files of a scanned live drive: found on a worker once the
// list shows the drive (the list stays usable meanwhile), shown in the file list's
// Versions column, and written beside the live files by Recover Previous Versions.
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "session/version_marks.h"

namespace tarvik {

class CFileListModel;
class CMainFrame;
class CVersionsFinder;
class RecoverySession;

class CPreviousVersions final : public QObject {
    Q_OBJECT
  public:
    CPreviousVersions(CMainFrame& frame, CFileListModel& model, QObject* parent = nullptr);
    ~CPreviousVersions() override;

    // Starts finding the marks of the drive the list now shows. Nothing runs for a shadow
    // copy opened as the drive, nor before the conditions are weighed.
    void Find(RecoverySession& session);
    // Stops the finding under way and waits for it; the list shows no marks.
    void Drop();
    // Waits until the finding has ended (its marks are then shown).
    void Wait();
    bool Finding() const;
    // The marks found; nothing while they are being found.
    const VersionMarks* Marks() const { return marks_.get(); }

    // Whether any of these tree paths has versions to write.
    bool AnyVersions(const std::vector<std::string>& treePaths) const;
    // Recover Previous Versions: the destination is asked for as Recover asks, then the
    // entries at the tree paths and the versions their shadow copies hold are written
    // ("report.docx", "report (shadow 2013-12-03 0637).docx"), then the summary.
    void Recover(const std::vector<std::string>& treePaths);

  signals:
    void Found();

  private:
    void OnFinished();
    void StopFinder();
    std::unique_ptr<CVersionsFinder> TakeFinder();
    void TakeResult(CVersionsFinder& finder);

    CMainFrame& frame_;
    CFileListModel& model_;
    std::unique_ptr<CVersionsFinder> finder_;
    std::unique_ptr<VersionMarks> marks_;
};

}  // namespace tarvik
