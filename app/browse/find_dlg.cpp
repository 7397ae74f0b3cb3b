#include "app/browse/find_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/browse/left_view.h"
#include "app/control_id.h"
#include "app/dialog_flags.h"
#include "app/tarvik_app.h"
#include "session/find_entry.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

QCheckBox* OptionBox(QWidget* parent, int id, const char* text, bool& member) {
    auto* box = new QCheckBox(text, parent);
    SetControlId(box, id);
    box->setChecked(member);
    QObject::connect(box, &QCheckBox::toggled, parent, [&member](bool on) { member = on; });
    return box;
}

}  // namespace

CFindDlg::CFindDlg(CTarvikApp& app, CLeftView& tree, QWidget* parent)
    : QDialog(parent, kModalDialogFlags), app_(app), tree_(tree) {
    SetControlId(this, IDD_FIND);
    setWindowTitle("Find");
    FindOptions& options = app_.State().find.options;
    options = FindOptions{};

    auto* label = new QLabel("File", this);
    SetControlId(label, IDC_FIND_LABEL);
    text_ = new QLineEdit(this);
    SetControlId(text_, IDC_FIND_TEXT);
    auto* matchCase = OptionBox(this, IDC_FIND_MATCH_CASE, "Match Case", options.matchCase);
    auto* deleted = OptionBox(this, IDC_FIND_DELETED, "Deleted Files", options.deleted);
    auto* existing = OptionBox(this, IDC_FIND_EXISTING, "Existing Files", options.existing);
    ok_ = new QPushButton("OK", this);
    SetControlId(ok_, IDC_FIND_OK);
    ok_->setDefault(true);
    ok_->setEnabled(false);
    auto* cancel = new QPushButton("Cancel", this);
    SetControlId(cancel, IDC_FIND_CANCEL);
    connect(text_, &QLineEdit::textChanged, this,
            [this](const QString& text) { ok_->setEnabled(!text.isEmpty()); });
    connect(ok_, &QPushButton::clicked, this, &CFindDlg::OnOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(text_, 0, 1, 1, 2);
    grid->addWidget(matchCase, 1, 0);
    grid->addWidget(deleted, 1, 1);
    grid->addWidget(existing, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 3);
}

void CFindDlg::OnOk() {
    const QString text = text_->text();
    if (text.isEmpty()) return;
    app_.State().find.text = text;
    const FindOptions options = app_.State().find.options;
    const auto found = app_.Session->HasDrive()
                           ? FindEntry(app_.Session->GetCatalogue(), text.toStdString(), options, 0)
                           : std::nullopt;
    if (!found) {
        QMessageBox::information(nullptr, kSearchFailureCaption, kNoMatchText);
        return;
    }
    tree_.ShowFoundEntry(*found);
    accept();
}

}  // namespace tarvik
