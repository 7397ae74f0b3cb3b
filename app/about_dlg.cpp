#include "app/about_dlg.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/control_id.h"
#include "app/dialog_flags.h"
#include "app/pictures.h"
#include "app/resource_ids.h"
#include "common/version.h"

namespace tarvik {

namespace {

CAboutDlg::UrlOpener& Opener() {
    static CAboutDlg::UrlOpener opener = [](const QUrl& url) {
        return QDesktopServices::openUrl(url);
    };
    return opener;
}

CAboutDlg::FailureReporter& Reporter() {
    static CAboutDlg::FailureReporter reporter = [](const QString& text, const QString& caption) {
        QMessageBox::warning(nullptr, caption, text, QMessageBox::Ok);
    };
    return reporter;
}

}  // namespace

CMailLink::CMailLink(const QString& address, QWidget* parent)
    : QLabel(address, parent), address_(address) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    SetVisited(false);
}

void CMailLink::SetVisited(bool visited) {
    visited_ = visited;
    // The link roles follow the desktop's palette, dark ones included.
    setForegroundRole(visited ? QPalette::LinkVisited : QPalette::Link);
    update();
}

QColor CMailLink::LinkColour() const {
    return palette().color(foregroundRole());
}

void CMailLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Clicked();
    QLabel::mouseReleaseEvent(event);
}

void CAboutDlg::SetUrlOpener(UrlOpener opener) {
    Opener() = std::move(opener);
}

void CAboutDlg::SetFailureReporter(FailureReporter reporter) {
    Reporter() = std::move(reporter);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent, kModalDialogFlags) {
    SetControlId(this, IDD_ABOUTBOX);
    setWindowTitle("About Corvane Miravel NTFS");

    auto* icon = new QLabel(this);
    icon->setPixmap(Picture(IDR_MAINFRAME));
    auto* picture = new QLabel(this);
    SetControlId(picture, IDC_ABOUT_PICTURE);
    picture->setPixmap(Picture(IDB_ABOUT));

    auto* text = new QLabel(
        QString("Corvane Miravel NTFS Version %1 \n"
                "Data Recovery Software for NTFS/NTFS-5 File System\n\n"
                "Copyright (C) Corvane Miravel. Free software under the GNU GPL, version 3 "
                "or later; read-only on every disk it scans.")
            .arg(kVersion),
        this);
    text->setWordWrap(true);

    auto* ok = new QPushButton("OK", this);
    SetControlId(ok, IDOK);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* visit = new QPushButton("Visit", this);
    SetControlId(visit, IDC_ABOUT_VISIT);
    connect(visit, &QPushButton::clicked, this, &CAboutDlg::OpenWebAddress);
    auto* web = new QLabel(QString(kWebAddress), this);

    auto* sales = new CMailLink(kSalesMail, this);
    SetControlId(sales, IDC_ABOUT_SALES_MAIL);
    auto* support = new CMailLink(kSupportMail, this);
    SetControlId(support, IDC_ABOUT_SUPPORT_MAIL);
    for (CMailLink* link : {sales, support})
        connect(link, &CMailLink::Clicked, this, [this, link] { OpenMailLink(link); });

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Sales:", this), 0, 0);
    grid->addWidget(sales, 0, 1);
    grid->addWidget(new QLabel("Support:", this), 1, 0);
    grid->addWidget(support, 1, 1);
    grid->setColumnStretch(2, 1);
    auto* visitRow = new QHBoxLayout;
    visitRow->addWidget(visit);
    visitRow->addWidget(web, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(text);
    right->addLayout(visitRow);
    right->addLayout(grid);
    right->addStretch(1);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(ok);
    right->addLayout(okRow);

    auto* left = new QVBoxLayout;
    left->addWidget(icon);
    left->addWidget(picture);
    left->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);
}

void CAboutDlg::OpenWebAddress() {
    Opener()(QUrl(kWebAddress));
}

void CAboutDlg::OpenMailLink(CMailLink* link) {
    if (!Opener()(QUrl("mailto:" + link->Address()))) {
        Reporter()("Unable To Open Mail Client.", kProgramCaption);
        return;
    }
    link->SetVisited(true);
}

}  // namespace tarvik
