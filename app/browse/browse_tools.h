#pragma once
// What the main window offers for looking at a scan before recovering it, kept apart
// from the window's own code: the preview pane beside the list (View > Preview Pane,
// remembered), the path of the folder shown above the list, the filter bar (Ctrl+F),
// and File > Save Scan / Open Scan.
#include <QObject>
#include <QString>
#include <vector>

class QAction;

namespace tarvik {

class CBreadcrumbs;
class CFilterBar;
class CMainFrame;
class CPreviewPane;
class CTarvikApp;

class CBrowseTools : public QObject {
    Q_OBJECT
  public:
    CBrowseTools(CTarvikApp& app, CMainFrame& frame);

    CPreviewPane* Preview() const { return preview_; }
    CFilterBar* FilterBar() const { return filterBar_; }
    CBreadcrumbs* Breadcrumbs() const { return breadcrumbs_; }
    QAction* PreviewAction() const { return previewAction_; }
    // View > Hide System Files (remembered): the list leaves out the volume's own files.
    QAction* HideSystemAction() const { return hideSystemAction_; }
    // Shows or hides the volume's own folders in the folder tree.
    void HideSystemFolders(bool hide);
    bool HidesSystemFiles() const;
    void SetPreviewShown(bool shown);

    // Writes the scan shown to `path`; the reason when it could not.
    QString SaveScanTo(const QString& path);
    // Shows a saved scan of one of the loaded disks (asking for the disk when none of
    // them is the scanned one and `askForDisk`); the reason when it cannot.
    QString OpenScanFrom(const QString& path, bool askForDisk = false);
    // The list shows what the filter bar lets through (or the folder, with no filter).
    void ApplyFilter();

  private:
    void InstallMenus();
    void OnSaveScan();
    void OnOpenScan();
    void OnListReset();
    // The path of the folder shown, and how many entries a filter found.
    void ShowPath();
    void OnCurrentRow();

    CTarvikApp& app_;
    CMainFrame& frame_;
    CPreviewPane* preview_;
    CFilterBar* filterBar_;
    CBreadcrumbs* breadcrumbs_;
    QAction* previewAction_ = nullptr;
    QAction* saveScanAction_ = nullptr;
    QAction* hideSystemAction_ = nullptr;
    bool filling_ = false;
};

}  // namespace tarvik
