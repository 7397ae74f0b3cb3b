#pragma once
// What a saving did, told once it has ended: a saving that wrote everything and one
// that stopped half-way, lost files to write errors or met unreadable sectors would
// otherwise look the same.
#include <QDialog>
#include <QString>
#include <vector>

#include "recovery/recovery_writer.h"
#include "session/recovery_session.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tarvik {

inline constexpr const char* kSavingSummaryName = "SavingSummary";
inline constexpr const char* kSavingDoneTitle = "Saving Finished";
inline constexpr const char* kSavingStoppedTitle = "Saving Cancelled";
inline constexpr const char* kOpenDestinationText = "Open Destination Folder";
inline constexpr const char* kSaveReportText = "Save Report...";

// The summary's lines, one fact each; lines for counts of 0 are left out.
QStringList SavingSummaryLines(const RecoveryResult& result, const QString& rootPath);

class CSavingSummaryDlg final : public QDialog {
    Q_OBJECT
  public:
    // `rootPath` is the Root folder the files went to; `notices` the messages the
    // writer gave on the way (why a folder or file could not be written).
    // `report`, when given, is offered for saving (one row per file written).
    CSavingSummaryDlg(const RecoveryResult& result, const std::vector<RecoveryNotice>& notices,
                      QString rootPath, QWidget* parent = nullptr,
                      const RecoveryReport* report = nullptr);

    QLabel* Summary() const { return summary_; }
    QPlainTextEdit* Problems() const { return problems_; }
    QPushButton* OpenButton() const { return open_; }
    QPushButton* SaveReportButton() const { return saveReport_; }
    // Writes the report to `path`; false, after saying why, when it could not.
    bool SaveReportTo(const QString& path);

  private:
    void OpenDestination();
    void SaveReport();

    QString rootPath_;
    QLabel* summary_ = nullptr;
    QPlainTextEdit* problems_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* saveReport_ = nullptr;
    const RecoveryReport* report_ = nullptr;
};

}  // namespace tarvik
