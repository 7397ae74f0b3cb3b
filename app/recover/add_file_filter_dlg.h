#pragma once
// The Add File Filter dialog: patterns typed one at a time into a list, confirmed as an
// include or an exclude filter on the session's drive; Cancel takes back what was added
// while the dialog was open.
#include <QDialog>
#include <cstddef>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tarvik {

class CTarvikApp;
class RecoverySession;

// Dialog 154 and the ids of its controls.
inline constexpr int IDD_ADD_FILE_FILTER = 154;
inline constexpr int IDC_FILTER_EDIT = 1032;
inline constexpr int IDC_FILTER_ADD = 1033;
inline constexpr int IDC_FILTER_LIST = 1034;
inline constexpr int IDC_FILTER_INCLUDE = 1035;
inline constexpr int IDC_FILTER_EXCLUDE = 1037;
inline constexpr int IDC_FILTER_CANCEL = 1038;
// The line under the list that says why Add To List refuses a pattern.
inline constexpr int IDC_FILTER_LIMIT = 1039;
inline constexpr const char* kAddFileFilterTitle = "Add File Filter";
inline constexpr const char* kFilterFullText = "The list holds at most 32 patterns.";
inline constexpr const char* kPatternTooLongText = "A pattern has at most 127 characters.";

class CAddFileFilterDlg final : public QDialog {
    Q_OBJECT
  public:
    CAddFileFilterDlg(RecoverySession& session, CTarvikApp& app, QWidget* parent = nullptr);

    // Add To List: the edit field's text becomes the next pattern.
    void OnAddToList();
    void OnInclude() { Confirm(0); }
    void OnExclude() { Confirm(1); }
    // Cancel, Escape and the close box.
    void reject() override;

  private:
    void Confirm(int mode);
    // Add To List is usable while the text fits a pattern and the list has room; the
    // limit line says which limit is reached.
    void UpdateLimits();

    RecoverySession& session_;
    CTarvikApp& app_;
    QLineEdit* edit_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* add_ = nullptr;
    QLabel* limit_ = nullptr;
    std::size_t count_ = 0;
    std::size_t added_ = 0;
    bool rollBack_ = true;
    // The filter did not exist before this dialog made it.
    bool created_ = false;
};

}  // namespace tarvik
