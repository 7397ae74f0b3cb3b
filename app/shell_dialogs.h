#pragma once
// The shell's small dialogs: Logical Drive Properties, Select Search Type and the
// Important Note shown before a scanned drive's tree.
#include <QDialog>

class QCheckBox;

#include "app/ui_state.h"
#include "session/recovery_session.h"

namespace tarvik {

// Dialog 167: the current drive's geometry and scan counts, taken once at opening.
class CDrivePropertiesDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CDrivePropertiesDlg(const DriveProperties& values, QWidget* parent = nullptr);
};

// Dialog 155: the partition table or a search of the whole disk; Cancel gives
// kCancelled. Escape and the close box leave the choice as it stands, as Ok does.
class CSearchTypeDlg : public QDialog {
    Q_OBJECT
  public:
    // Sets `searchType` to the partition table at once and writes every later choice into it.
    explicit CSearchTypeDlg(DriveSearch& searchType, QWidget* parent = nullptr);

  private:
    DriveSearch& searchType_;
};

// Dialog 178: the advice to try Advance Search when something is missing.
class CImportantNoteDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CImportantNoteDlg(QWidget* parent = nullptr);

    // Whether the user asked not to see the note again.
    bool DontShowAgain() const;

    static constexpr const char* kText =
        "If files or folders you are looking for are missing from the tree, try Advance "
        "Search on the Tools menu: it searches the whole drive for them.";

  private:
    QCheckBox* dontShowAgain_ = nullptr;
};

}  // namespace tarvik
