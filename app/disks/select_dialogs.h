#pragma once
// The two lists that lead from a command to a scan: Select Physical Disk (dialog 171)
// and Select Logical Drive (dialog 173). Each ends with the row chosen, or none; what
// follows a choice is the drive chooser's work.
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "session/recovery_session.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace tarvik {

inline constexpr int IDD_SELECT_PHYSICAL_DISK = 171;
inline constexpr int IDC_DISK_LIST = 1034;
inline constexpr int IDC_DISK_OK = 1083;
inline constexpr int IDC_DISK_CANCEL = 1084;
// The line under the disk list about disks that cannot be read (not a control of the
// original dialog; numbered after the others).
inline constexpr int IDC_DISK_ACCESS_NOTE = 1094;
inline constexpr int IDI_SELECTION_ROW = 172;

inline constexpr int IDD_SELECT_LOGICAL_DRIVE = 173;
inline constexpr int IDC_DRIVE_LIST = 1085;
inline constexpr int IDC_DRIVE_OK = 1086;
inline constexpr int IDC_DRIVE_CANCEL = 1031;

// A report list of the selection dialogs: full-row selection of one row, the row icon
// on every row, columns with their widths and alignments. Double-click acts as the
// default button; Enter reaches it through the dialog.
class CSelectionDlgBase : public QDialog {
    Q_OBJECT
  public:
    // The row chosen with OK, a double-click or Enter; -1 when none.
    int ChosenRow() const { return chosenRow_; }
    // The number a sub-row of the chosen row carries (a drive's shadow copy); 0 for a row.
    int ChosenSubRow() const { return chosenSubRow_; }
    QTreeWidget* List() const { return list_; }

  protected:
    struct Column {
        const char* title;
        int width;
        Qt::Alignment alignment;
    };
    CSelectionDlgBase(int dialogId, const char* title, int listId,
                      const std::vector<Column>& columns, QWidget* parent);
    void AddRow(const QStringList& texts);
    // Lays out the list, an optional extra widget under it and the two buttons.
    void FinishLayout(int okId, const char* okText, int cancelId, QWidget* underList = nullptr);
    int SelectedRow() const;

  private:
    void OnOk();

    QTreeWidget* list_ = nullptr;
    std::vector<Column> columns_;
    int chosenRow_ = -1;
    int chosenSubRow_ = 0;
};

class CSelectPhysicalDiskDlg final : public CSelectionDlgBase {
    Q_OBJECT
  public:
    // One row per disk, "HardDisk n" from 1; `accessNote` is shown under the list.
    CSelectPhysicalDiskDlg(const std::vector<DiskSummary>& disks,
                           const std::optional<std::string>& accessNote, QWidget* parent = nullptr);
};

class CSelectLogicalDriveDlg final : public CSelectionDlgBase {
    Q_OBJECT
  public:
    // One row per entry of the drive list, "Logical Drive n" from 1, and under an NTFS
    // drive a sub-row per shadow copy (ChosenSubRow gives its number).
    explicit CSelectLogicalDriveDlg(const std::vector<DriveSummary>& drives,
                                    QWidget* parent = nullptr);
};

}  // namespace tarvik
