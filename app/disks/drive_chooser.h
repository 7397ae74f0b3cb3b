#pragma once
// The road from a disk to a scanned drive, for the Select Physical Disk, Open Disk
// Image and Open Drive commands: the disk list, the search type, the partition table or
// the search of the disk, the drive list, the opening of the chosen drive and its scan.
// Every step is a call of the session; this class only orders the dialogs.
#include <cstddef>
#include <string>

namespace tarvik {

class CMainFrame;
class CTarvikApp;
class RecoverySession;

class CDriveChooser {
  public:
    CDriveChooser(CTarvikApp& app, CMainFrame& frame);

    // Drive > Select Physical Disk: the disk list, then as ChooseDisk.
    void SelectPhysicalDisk();
    // Drive > Open Disk Image...: the image is added to the disk list and chosen.
    // False, after a message, when the file cannot serve as a disk.
    bool OpenDiskImage(const std::string& path);
    // Select Search Type for a chosen disk, its drive list, then SelectLogicalDrive.
    void ChooseDisk(std::size_t disk);
    // Drive > Open Drive: another drive of the current drive list.
    void OpenDrive();
    // The drive list; a chosen NTFS drive is opened and scanned and the views show it.
    void SelectLogicalDrive();
    // Tools > Advance Search on the open drive.
    void AdvanceSearch();
    // After a scan: the files found by their content in free clusters are added.
    void CarveFreeSpace();

  private:
    RecoverySession& Session() const;
    // Runs the scanning dialog and, when the scan ran to its end, shows the drive.
    void ScanOpenDrive(bool advanceSearch);

    CTarvikApp& app_;
    CMainFrame& frame_;
};

inline constexpr const char* kDriveListNotFoundText = "Logical Drive List Not Found";

}  // namespace tarvik
