#include "app/recover/saving_summary_dlg.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/dialog_flags.h"

namespace tarvik {

namespace {

QString Count(std::uint64_t value) {
    // Grouped in thousands, the same on every system.
    return QLocale(QLocale::English).toString(static_cast<qulonglong>(value));
}

QString Bytes(std::uint64_t bytes) {
    // Exact figures: a user comparing with the source wants the byte count, not a
    // rounded size.
    return bytes == 1 ? QString("1 byte") : Count(bytes) + " bytes";
}

}  // namespace

QStringList SavingSummaryLines(const RecoveryResult& result, const QString& rootPath) {
    QStringList lines;
    lines << QString("Files written: %1 (%2)")
                 .arg(Count(result.filesWritten), Bytes(result.bytesWritten));
    if (result.filesFailed != 0)
        lines << QString("Files that could not be written: %1").arg(Count(result.filesFailed));
    const std::uint64_t foldersFailed = result.creationFailures > result.filesFailed
                                            ? result.creationFailures - result.filesFailed
                                            : 0;
    if (foldersFailed != 0)
        lines << QString("Folders that could not be created: %1").arg(Count(foldersFailed));
    if (result.filesUnreadable != 0)
        lines << QString("Unreadable files, not written (their records cannot be read): %1")
                     .arg(Count(result.filesUnreadable));
    if (result.filesPartlyUnreadable != 0)
        lines << QString(
                     "Partly unreadable files, written with zeros where they cannot be "
                     "read: %1")
                     .arg(Count(result.filesPartlyUnreadable));
    if (result.unreadableSectors != 0)
        lines << QString("Unreadable sectors, written as zeros: %1")
                     .arg(Count(result.unreadableSectors));
    if (result.skippedFiltered != 0)
        lines
            << QString("Files left out by the file filter: %1").arg(Count(result.skippedFiltered));
    if (result.skippedCondition != 0)
        lines << QString("Files left out for their condition: %1")
                     .arg(Count(result.skippedCondition));
    if (result.skippedEmpty != 0)
        lines << QString("Empty files passed over: %1").arg(Count(result.skippedEmpty));
    if (result.stopped)
        lines << "The saving was cancelled: the file it was writing was removed, and the "
                 "files after it were not written.";
    lines << QString("Saved under: %1").arg(QDir::toNativeSeparators(rootPath));
    return lines;
}

CSavingSummaryDlg::CSavingSummaryDlg(const RecoveryResult& result,
                                     const std::vector<RecoveryNotice>& notices, QString rootPath,
                                     QWidget* parent, const RecoveryReport* report)
    : QDialog(parent, kModalDialogFlags), rootPath_(std::move(rootPath)), report_(report) {
    setObjectName(kSavingSummaryName);
    setWindowTitle(result.stopped ? kSavingStoppedTitle : kSavingDoneTitle);

    summary_ = new QLabel(SavingSummaryLines(result, rootPath_).join('\n'), this);
    summary_->setTextFormat(Qt::PlainText);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    problems_ = new QPlainTextEdit(this);
    problems_->setReadOnly(true);
    problems_->setLineWrapMode(QPlainTextEdit::NoWrap);
    for (const RecoveryNotice& notice : notices)
        problems_->appendPlainText(QString::fromStdString(notice.caption) + ": " +
                                   QString::fromStdString(notice.text));
    problems_->setVisible(!notices.empty());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    open_ = buttons->addButton(kOpenDestinationText, QDialogButtonBox::ActionRole);
    open_->setEnabled(QDir(rootPath_).exists());
    connect(open_, &QPushButton::clicked, this, &CSavingSummaryDlg::OpenDestination);
    if (report_ != nullptr && !report_->Rows().empty()) {
        saveReport_ = buttons->addButton(kSaveReportText, QDialogButtonBox::ActionRole);
        connect(saveReport_, &QPushButton::clicked, this, &CSavingSummaryDlg::SaveReport);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(problems_, 1);
    layout->addWidget(buttons);
}

void CSavingSummaryDlg::SaveReport() {
    // Beside Root by default, where the files it lists are.
    const QString suggested = QDir(rootPath_).absoluteFilePath("../recovery-report.tsv");
    const QString path =
        QFileDialog::getSaveFileName(this, kSaveReportText, QDir::cleanPath(suggested),
                                     "Tab-separated text (*.tsv);;All files (*)");
    if (!path.isEmpty()) SaveReportTo(path);
}

bool CSavingSummaryDlg::SaveReportTo(const QString& path) {
    if (report_ == nullptr) return false;
    const std::string error = report_->Save(path.toStdString());
    if (error.empty()) return true;
    QMessageBox::warning(this, kSaveReportText,
                         QString("The report could not be saved to %1: %2")
                             .arg(QDir::toNativeSeparators(path), QString::fromStdString(error)));
    return false;
}

void CSavingSummaryDlg::OpenDestination() {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(rootPath_))) return;
    // Without a file manager nothing would happen at all: say where the files are.
    QMessageBox::information(this, windowTitle(),
                             QString("No file manager could be started to show the folder. "
                                     "The recovered files are in:\n%1")
                                 .arg(QDir::toNativeSeparators(rootPath_)));
}

}  // namespace tarvik
