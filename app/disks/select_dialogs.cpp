#include "app/disks/select_dialogs.h"
#include "app/size_text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/control_id.h"
#include "app/dialog_flags.h"
#include "app/pictures.h"

namespace tarvik {

// ---- CSelectionDlgBase

CSelectionDlgBase::CSelectionDlgBase(int dialogId, const char* title, int listId,
                                     const std::vector<Column>& columns, QWidget* parent)
    : QDialog(parent, kModalDialogFlags), columns_(columns) {
    SetControlId(this, dialogId);
    setWindowTitle(title);
    list_ = new QTreeWidget(this);
    SetControlId(list_, listId);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setIconSize(QSize(16, 16));
    list_->setColumnCount(static_cast<int>(columns_.size()));
    // The selection stays visible when the list loses the focus.
    QPalette palette = list_->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list_->setPalette(palette);
    auto* header = list_->headerItem();
    for (int c = 0; c < static_cast<int>(columns_.size()); ++c) {
        const Column& column = columns_[static_cast<std::size_t>(c)];
        header->setText(c, column.title);
        header->setTextAlignment(c, column.alignment | Qt::AlignVCenter);
        list_->setColumnWidth(c, column.width);
    }
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionsMovable(false);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (SelectedRow() >= 0) OnOk();
    });
}

void CSelectionDlgBase::AddRow(const QStringList& texts) {
    static const QIcon rowIcon(Picture(IDI_SELECTION_ROW));
    auto* item = new QTreeWidgetItem(list_, texts);
    item->setIcon(0, rowIcon);
    for (int c = 0; c < static_cast<int>(columns_.size()); ++c)
        item->setTextAlignment(c,
                               columns_[static_cast<std::size_t>(c)].alignment | Qt::AlignVCenter);
}

void CSelectionDlgBase::FinishLayout(int okId, const char* okText, int cancelId,
                                     QWidget* underList) {
    auto* ok = new QPushButton(okText, this);
    SetControlId(ok, okId);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CSelectionDlgBase::OnOk);
    auto* cancel = new QPushButton("Cancel", this);
    SetControlId(cancel, cancelId);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    if (underList) layout->addWidget(underList);
    layout->addLayout(buttons);
    int width = 40;
    for (const Column& column : columns_) width += column.width;
    list_->setMinimumSize(width, 150);
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(nullptr);
}

int CSelectionDlgBase::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) return -1;
    QTreeWidgetItem* item = selected.first();
    return list_->indexOfTopLevelItem(item->parent() != nullptr ? item->parent() : item);
}

void CSelectionDlgBase::OnOk() {
    // Nothing happens while no row is selected.
    const int row = SelectedRow();
    if (row < 0) return;
    chosenRow_ = row;
    chosenSubRow_ = list_->selectedItems().first()->data(0, Qt::UserRole).toInt();
    accept();
}

// ---- CSelectPhysicalDiskDlg

CSelectPhysicalDiskDlg::CSelectPhysicalDiskDlg(const std::vector<DiskSummary>& disks,
                                               const std::optional<std::string>& accessNote,
                                               QWidget* parent)
    : CSelectionDlgBase(IDD_SELECT_PHYSICAL_DISK, "Select Physical Disk", IDC_DISK_LIST,
                        {{"Disk No.", 120, Qt::AlignRight},
                         {"Model No. ", 100, Qt::AlignRight},
                         {"Serial No.", 100, Qt::AlignRight},
                         {"Size", 80, Qt::AlignRight},
                         {"Path", 200, Qt::AlignLeft}},
                        parent) {
    int number = 0;
    for (const DiskSummary& disk : disks) {
        // The disk table counts 512-byte sectors.
        const qint64 bytes =
            static_cast<qint64>(std::min<std::uint64_t>(disk.sectors, INT64_MAX / 512) * 512);
        AddRow({QString("HardDisk %1").arg(++number), QString::fromStdString(disk.model),
                QString::fromStdString(disk.serial), SizeText(static_cast<std::uint64_t>(bytes)),
                QString::fromStdString(disk.path)});
        List()->topLevelItem(number - 1)->setToolTip(0, QString::fromStdString(disk.path));
    }
    QLabel* note = nullptr;
    if (accessNote) {
        note = new QLabel(QString::fromStdString(*accessNote), this);
        SetControlId(note, IDC_DISK_ACCESS_NOTE);
        note->setWordWrap(true);
    }
    FinishLayout(IDC_DISK_OK, "OK", IDC_DISK_CANCEL, note);
}

// ---- CSelectLogicalDriveDlg

CSelectLogicalDriveDlg::CSelectLogicalDriveDlg(const std::vector<DriveSummary>& drives,
                                               QWidget* parent)
    : CSelectionDlgBase(IDD_SELECT_LOGICAL_DRIVE, "Select Logical Drive", IDC_DRIVE_LIST,
                        {{"Name", 100, Qt::AlignHCenter},
                         {"FileSystem", 75, Qt::AlignHCenter},
                         {"Start Sector", 90, Qt::AlignHCenter},
                         {"Size", 60, Qt::AlignHCenter}},
                        parent) {
    int number = 0;
    QStringList shortened;
    for (const DriveSummary& drive : drives) {
        QString name = QString("Logical Drive %1").arg(++number);
        if (drive.missingSectors != 0) shortened << name;
        if (!drive.name.empty()) name += QString(" (%1)").arg(QString::fromStdString(drive.name));
        AddRow({name, QString::fromStdString(drive.fileSystem), QString::number(drive.startSector),
                QString::fromStdString(drive.sizeText)});
        QTreeWidgetItem* row = List()->topLevelItem(number - 1);
        for (const ShadowCopySummary& copy : drive.shadowCopies) {
            auto* sub = new QTreeWidgetItem(
                row, {QString::fromStdString(copy.label), QString::fromStdString(drive.fileSystem),
                      QString::number(drive.startSector), QString::fromStdString(drive.sizeText)});
            sub->setData(0, Qt::UserRole, static_cast<int>(copy.number));
            sub->setToolTip(0, sub->text(0));
        }
        if (!drive.shadowProblem.empty())
            row->setToolTip(0, QString::fromStdString("Logical Drive " + std::to_string(number) +
                                                      ": " + drive.shadowProblem));
    }
    List()->setItemsExpandable(true);
    List()->expandAll();
    QLabel* note = nullptr;
    if (!shortened.isEmpty()) {
        note = new QLabel(QString("The image is shorter than the volume of %1: the sectors past "
                                  "its end are missing, and files there are partly unreadable.")
                              .arg(shortened.join(", ")),
                          this);
        note->setWordWrap(true);
    }
    FinishLayout(IDC_DRIVE_OK, "OK", IDC_DRIVE_CANCEL, note);
}

}  // namespace tarvik
