#pragma once
// Dialog 168, "Find": an entry by its whole name, from the first entry of the catalogue.
// The search state lives in the application object, so that Find Next goes on with it.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarvik {

class CLeftView;
class CTarvikApp;

inline constexpr int IDD_FIND = 168;
inline constexpr int IDC_FIND_LABEL = 1076;
inline constexpr int IDC_FIND_TEXT = 1077;
inline constexpr int IDC_FIND_MATCH_CASE = 1078;
inline constexpr int IDC_FIND_DELETED = 1079;
inline constexpr int IDC_FIND_EXISTING = 1080;
inline constexpr int IDC_FIND_OK = 1082;
inline constexpr int IDC_FIND_CANCEL = 1083;

inline constexpr const char* kSearchFailureCaption = "Search Failure";
inline constexpr const char* kNoMatchText = "No Matching Entry Found";
inline constexpr const char* kNoMoreText = "No More Entries Are Available";

class CFindDlg : public QDialog {
    Q_OBJECT
  public:
    // Sets the options to their defaults: any case, deleted and existing entries.
    CFindDlg(CTarvikApp& app, CLeftView& tree, QWidget* parent = nullptr);

  private:
    void OnOk();

    CTarvikApp& app_;
    CLeftView& tree_;
    QLineEdit* text_;
    QPushButton* ok_;
};

}  // namespace tarvik
