#include "app/recover/add_file_filter_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "app/control_id.h"
#include "app/tarvik_app.h"
#include "recovery/file_filter.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

constexpr Qt::WindowFlags kNoCloseBoxFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

QPushButton* Button(QWidget* parent, int id, const char* text) {
    auto* button = new QPushButton(text, parent);
    SetControlId(button, id);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CAddFileFilterDlg::CAddFileFilterDlg(RecoverySession& session, CTarvikApp& app, QWidget* parent)
    : QDialog(parent, kNoCloseBoxFlags), session_(session), app_(app) {
    SetControlId(this, IDD_ADD_FILE_FILTER);
    setWindowTitle(kAddFileFilterTitle);

    auto* label = new QLabel("Enter Filter Basis", this);
    edit_ = new QLineEdit(this);
    SetControlId(edit_, IDC_FILTER_EDIT);
    edit_->setMaxLength(static_cast<int>(FileFilter::kMaxPatternLength));
    add_ = Button(this, IDC_FILTER_ADD, "Add To List");
    add_->setDefault(true);
    list_ = new QListWidget(this);
    SetControlId(list_, IDC_FILTER_LIST);
    list_->setSortingEnabled(false);
    limit_ = new QLabel(this);
    SetControlId(limit_, IDC_FILTER_LIMIT);
    auto* include = Button(this, IDC_FILTER_INCLUDE, "Include");
    auto* exclude = Button(this, IDC_FILTER_EXCLUDE, "Exclude");
    auto* cancel = Button(this, IDC_FILTER_CANCEL, "Cancel");

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(edit_, 1, 0);
    grid->addWidget(add_, 1, 1);
    grid->addWidget(list_, 2, 0, 3, 1);
    grid->addWidget(include, 2, 1);
    grid->addWidget(exclude, 3, 1);
    grid->addWidget(cancel, 4, 1, Qt::AlignTop);
    grid->addWidget(limit_, 5, 0, 1, 2);

    connect(add_, &QPushButton::clicked, this, &CAddFileFilterDlg::OnAddToList);
    connect(edit_, &QLineEdit::returnPressed, this, &CAddFileFilterDlg::OnAddToList);
    connect(edit_, &QLineEdit::textChanged, this, &CAddFileFilterDlg::UpdateLimits);
    connect(include, &QPushButton::clicked, this, &CAddFileFilterDlg::OnInclude);
    connect(exclude, &QPushButton::clicked, this, &CAddFileFilterDlg::OnExclude);
    connect(cancel, &QPushButton::clicked, this, &CAddFileFilterDlg::reject);

    // A confirmed filter is shown and appended to; an unconfirmed one is written over
    // from its first slot.
    if (app_.State().filterActive && session_.HoldsFileFilter()) {
        const FileFilter& filter = *session_.GetFileFilter();
        for (std::size_t i = 0; i < filter.count(); ++i)
            list_->addItem(QString::fromStdString(std::string(filter.Pattern(i))));
        count_ = filter.count();
    }
    UpdateLimits();
}

void CAddFileFilterDlg::UpdateLimits() {
    const bool full = count_ >= FileFilter::kMaxPatterns;
    // The edit field counts characters, the filter's slots bytes.
    const bool tooLong = !full && (edit_->text().toUtf8().size() >
                                       static_cast<qsizetype>(FileFilter::kMaxPatternLength) ||
                                   edit_->text().size() >= edit_->maxLength());
    limit_->setText(full ? kFilterFullText : tooLong ? kPatternTooLongText : QString());
    edit_->setEnabled(!full);
    add_->setEnabled(!full && edit_->text().toUtf8().size() <=
                                  static_cast<qsizetype>(FileFilter::kMaxPatternLength));
}

void CAddFileFilterDlg::OnAddToList() {
    const QString text = edit_->text();
    if (text.isEmpty() || !add_->isEnabled()) return;
    const std::string pattern = text.toStdString();
    if (!session_.HoldsFileFilter()) {
        session_.SetFileFilter(std::make_unique<FileFilter>());
        created_ = true;
    }
    // The slot a full or too long pattern would need is refused before it is listed.
    if (!session_.EditFileFilter()->PutPattern(count_, pattern)) return;
    list_->addItem(text);
    edit_->clear();
    edit_->setFocus();
    ++count_;
    ++added_;
    UpdateLimits();
}

void CAddFileFilterDlg::Confirm(int mode) {
    app_.State().filterActive = true;
    rollBack_ = false;
    if (session_.HoldsFileFilter())
        session_.EditFileFilter()->SetMode(mode == 0 ? FilterMode::kInclude : FilterMode::kExclude);
    reject();
}

void CAddFileFilterDlg::reject() {
    if (rollBack_) {
        FileFilter* filter = session_.EditFileFilter();
        for (; added_ > 0; --added_, --count_) {
            delete list_->takeItem(list_->count() - 1);
            if (filter) filter->TakeBackLast();
        }
        // A filter this dialog made and then emptied again goes as well, so Cancel
        // leaves the drive exactly as it found it: no filter, Remove File Filter grayed.
        if (created_ && filter && filter->empty()) session_.DropFileFilter();
    }
    QDialog::reject();
}

}  // namespace tarvik
