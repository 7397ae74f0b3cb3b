#include "app/shell_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>

#include "app/control_id.h"
#include "app/dialog_flags.h"
#include "app/resource_ids.h"

namespace tarvik {

namespace {

// A dialog without the close box: it ends through its own buttons or Escape.
constexpr Qt::WindowFlags kNoCloseBox = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

QPushButton* Button(QWidget* parent, int id, const char* text) {
    auto* button = new QPushButton(text, parent);
    SetControlId(button, id);
    return button;
}

}  // namespace

CDrivePropertiesDlg::CDrivePropertiesDlg(const DriveProperties& v, QWidget* parent)
    : QDialog(parent, kNoCloseBox) {
    SetControlId(this, IDD_DRIVE_PROPERTIES);
    setWindowTitle("Logical Drive Properties");
    const std::array<std::pair<const char*, QString>, 9> rows = {{
        // BIOS numbers count hard disks from 0x80; people count them from 1.
        {"Hard Disk",
         QString("Disk %1").arg(v.driveCode >= 0x80 ? v.driveCode - 0x80 + 1 : v.driveCode)},
        {"Sectors Per Cluster", QString::number(v.sectorsPerCluster)},
        {"Partition Start", QString::number(v.partitionStart)},
        {"Partition Size", QString::number(v.partitionSize)},
        {"Master File Table", QString::number(v.mftStart)},
        {"Total Number Of Files", QString::number(v.totalFiles)},
        {"Total Number Of Directories", QString::number(v.totalDirectories)},
        {"Number Of Deleted Files", QString::number(v.deletedFiles)},
        {"Number Of Deleted Directories", QString::number(v.deletedDirectories)},
    }};
    auto* grid = new QGridLayout;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        auto* label = new QLabel(rows[static_cast<std::size_t>(i)].first, this);
        SetControlId(label, IDC_PROPERTIES_FIRST_LABEL + i);
        auto* value = new QLabel(rows[static_cast<std::size_t>(i)].second, this);
        SetControlId(value, IDC_PROPERTIES_FIRST_VALUE + i);
        value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, i, 0);
        grid->addWidget(value, i, 1);
    }
    grid->setColumnMinimumWidth(1, 110);
    auto* close = Button(this, IDC_PROPERTIES_CLOSE, "Close");
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

CSearchTypeDlg::CSearchTypeDlg(DriveSearch& searchType, QWidget* parent)
    : QDialog(parent, kModalDialogFlags), searchType_(searchType) {
    searchType_ = DriveSearch::kPartitionTable;
    SetControlId(this, IDD_SEARCH_TYPE);
    setWindowTitle("Select Search Type");
    auto* group = new QGroupBox("Make Appropriate Selection", this);
    SetControlId(group, IDC_SEARCH_TYPE_GROUP);
    auto* table = new QRadioButton("&Use Partition Table Information", group);
    SetControlId(table, IDC_USE_PARTITION_TABLE);
    auto* search = new QRadioButton("Search for Logical drives", group);
    SetControlId(search, IDC_SEARCH_LOGICAL_DRIVES);
    table->setChecked(true);
    connect(table, &QRadioButton::clicked, this,
            [this] { searchType_ = DriveSearch::kPartitionTable; });
    connect(search, &QRadioButton::clicked, this,
            [this] { searchType_ = DriveSearch::kWholeDisk; });
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(table);
    groupLayout->addWidget(search);

    auto* ok = Button(this, IDC_SEARCH_TYPE_OK, "OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = Button(this, IDC_SEARCH_TYPE_CANCEL, "Cancel");
    connect(cancel, &QPushButton::clicked, this, [this] {
        searchType_ = DriveSearch::kCancelled;
        reject();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
}

CImportantNoteDlg::CImportantNoteDlg(QWidget* parent) : QDialog(parent, kModalDialogFlags) {
    SetControlId(this, IDD_IMPORTANT_NOTE);
    setWindowTitle("Important Note");
    auto* text = new QLabel(kText, this);
    text->setWordWrap(true);
    text->setMinimumWidth(300);
    dontShowAgain_ = new QCheckBox("&Do not show this again", this);
    dontShowAgain_->setObjectName("dontShowAgain");
    auto* ok = Button(this, IDOK, "OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(dontShowAgain_);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
}

bool CImportantNoteDlg::DontShowAgain() const {
    return dontShowAgain_->isChecked();
}

}  // namespace tarvik
