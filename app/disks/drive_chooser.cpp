#include "app/disks/drive_chooser.h"

#include "app/disks/search_drives_dlg.h"
#include "app/disks/select_dialogs.h"
#include "app/main_frame.h"
#include "app/scan/carving_dlg.h"
#include "app/scan/scanning_dlg.h"
#include "app/shell_dialogs.h"
#include "app/tarvik_app.h"
#include "app/worker_reporting.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

std::string UnreadableRecordsText(std::uint64_t records) {
    return std::to_string(records) + (records == 1 ? " MFT record" : " MFT records") +
           " could not be read (unreadable sectors). The files and folders described there "
           "are missing from the list; everything else was scanned.";
}

}  // namespace

CDriveChooser::CDriveChooser(CTarvikApp& app, CMainFrame& frame) : app_(app), frame_(frame) {}

RecoverySession& CDriveChooser::Session() const {
    return *app_.Session;
}

void CDriveChooser::SelectPhysicalDisk() {
    int disk = -1;
    {
        CSelectPhysicalDiskDlg dialog(Session().ListDisks(), Session().UnreadableDisksNote(),
                                      &frame_);
        dialog.exec();
        disk = dialog.ChosenRow();
    }
    if (disk >= 0) ChooseDisk(static_cast<std::size_t>(disk));
}

bool CDriveChooser::OpenDiskImage(const std::string& path) {
    std::size_t disk = 0;
    if (const auto problem = Session().AddDisk(path, disk)) {
        ShowNotice(*problem, kAppCaption, NoticeIcon::Warning);
        return false;
    }
    ChooseDisk(disk);
    return true;
}

void CDriveChooser::ChooseDisk(std::size_t disk) {
    {
        CSearchTypeDlg type(app_.State().driveSearch, &frame_);
        type.exec();
    }
    if (app_.State().driveSearch == DriveSearch::kCancelled) return;
    if (app_.State().driveSearch == DriveSearch::kPartitionTable) {
        // A table that lists nothing has been announced ("Bad Partition Table ..."); the
        // search follows as if it had been asked for.
        CNoticeBox notifier;
        NullProgressSink quiet;
        if (Session().FindDrives(disk, DriveDiscovery::kPartitionTableOnly, quiet, notifier)) {
            SelectLogicalDrive();
            return;
        }
    }
    frame_.ClearViews();
    bool found = false;
    {
        CSearchLogDrivesDlg search(Session(), disk, &frame_);
        found = search.Run();
        if (!frame_.Closing()) search.ShowNotices();
    }
    // Nothing found has been announced by the search ("Use Corvane Miravel FAT ...").
    if (found && !frame_.Closing()) SelectLogicalDrive();
}

void CDriveChooser::OpenDrive() {
    if (Session().Drives().empty()) {
        ShowNotice(kDriveListNotFoundText, kAppCaption, NoticeIcon::Warning);
        return;
    }
    SelectLogicalDrive();
}

void CDriveChooser::SelectLogicalDrive() {
    const std::vector<DriveSummary> drives = Session().ListDrives();
    int row = -1;
    int copy = 0;
    {
        CSelectLogicalDriveDlg dialog(drives, &frame_);
        dialog.exec();
        row = dialog.ChosenRow();
        copy = dialog.ChosenSubRow();
    }
    if (row < 0) {
        // Cancel brings back the list that stood before this disk's walk.
        Session().RestorePreviousDrives();
        return;
    }
    const auto chosen = static_cast<std::size_t>(row);
    if (chosen < drives.size() && drives[chosen].scannable) {
        // The views let go of the old drive before the session replaces it.
        frame_.ClearViews();
        app_.State().advanceSearchDone = false;
    }
    CNoticeBox notifier;
    // A FAT drive or a drive that fails validation has been announced by the session.
    const DriveOpening opening =
        copy > 0 ? Session().OpenShadowCopy(chosen, static_cast<std::size_t>(copy), notifier)
                 : Session().OpenDrive(chosen, notifier);
    if (opening != DriveOpening::kOpened) return;
    ScanOpenDrive(false);
}

void CDriveChooser::AdvanceSearch() {
    if (!Session().HasDrive() || app_.State().advanceSearchDone) return;
    frame_.ClearViews();
    app_.State().advanceSearchDone = true;
    ScanOpenDrive(true);
}

void CDriveChooser::CarveFreeSpace() {
    if (!Session().HasDrive() || Session().GetCatalogue().Empty()) return;
    frame_.ClearViews();
    CarveSummary summary;
    {
        CCarvingDlg carving(Session(), &frame_);
        summary = carving.Run();
    }
    if (frame_.Closing() || !Session().HasDrive()) return;
    frame_.ShowScannedDrive();
    if (!summary.failed)
        ShowNotice(CarveSummaryText(summary), kCarveCaption, NoticeIcon::Information);
}

void CDriveChooser::ScanOpenDrive(bool advanceSearch) {
    bool completed = false;
    {
        CScanningDlg scanning(Session(), advanceSearch, &frame_);
        completed = scanning.Run();
    }
    // A scan stopped (by the user, or because the program is closing) leaves nothing to
    // show; a stopped advance search may be started again.
    if (!completed && advanceSearch) app_.State().advanceSearchDone = false;
    if (!completed || frame_.Closing() || !Session().HasDrive()) return;
    frame_.ShowScannedDrive();
    // Records lost to bad sectors leave no trace in the tree: say how many there were.
    const std::uint64_t unreadable = Session().Properties().unreadableRecords;
    if (unreadable != 0)
        ShowNotice(UnreadableRecordsText(unreadable), kAppCaption, NoticeIcon::Warning);
}

}  // namespace tarvik
