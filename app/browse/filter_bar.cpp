#include "app/browse/filter_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <cmath>

namespace tarvik {
namespace {

constexpr int kTypingPauseMs = 200;
// FILETIME of 1970-01-01: 100 ns units since 1601.
constexpr std::uint64_t kUnixEpochFileTime = 116444736000000000ULL;

std::uint64_t FileTimeOf(const QDateTime& time) {
    const qint64 ms = time.toMSecsSinceEpoch();
    return ms < 0 ? 0 : kUnixEpochFileTime + static_cast<std::uint64_t>(ms) * 10000;
}

// The conditions each choice of the condition box lets through.
std::vector<FileCondition> ConditionsOf(int choice) {
    switch (choice) {
        case 1:
            return {FileCondition::kIntact};
        case 2:
            return {FileCondition::kPartlyOverwritten, FileCondition::kUnknown,
                    FileCondition::kPartlyUnreadable};
        case 3:
            return {FileCondition::kOverwritten, FileCondition::kUnreadable};
        default:
            return {};
    }
}

}  // namespace

std::optional<std::uint64_t> ParseSizeText(const QString& typed) {
    QString text = typed.trimmed().toUpper();
    if (text.endsWith(QLatin1Char('B'))) text.chop(1);
    if (text.isEmpty()) return std::nullopt;
    double unit = 1;
    const QString units = QStringLiteral("KMGT");
    if (const qsizetype at = units.indexOf(text.back()); at >= 0) {
        unit = std::pow(1024.0, static_cast<double>(at + 1));
        text.chop(1);
    }
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || value < 0 || value * unit > 1.8e19) return std::nullopt;
    return static_cast<std::uint64_t>(value * unit);
}

CFilterBar::CFilterBar(QWidget* parent) : QWidget(parent), typing_(new QTimer(this)) {
    setObjectName(QStringLiteral("filterBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("filterName"));
    name_->setPlaceholderText(QStringLiteral("Name contains, or *.jpg"));
    name_->setClearButtonEnabled(true);
    scope_ = new QComboBox(this);
    scope_->addItems({QStringLiteral("This folder"), QStringLiteral("Whole volume")});
    deleted_ = new QCheckBox(QStringLiteral("Deleted only"), this);
    condition_ = new QComboBox(this);
    condition_->addItems({QStringLiteral("Any condition"), QStringLiteral("Intact"),
                          QStringLiteral("Partly lost"), QStringLiteral("Lost")});
    minSize_ = new QLineEdit(this);
    maxSize_ = new QLineEdit(this);
    for (QLineEdit* size : {minSize_, maxSize_}) {
        size->setMaximumWidth(70);
        size->setClearButtonEnabled(true);
    }
    minSize_->setPlaceholderText(QStringLiteral("min size"));
    maxSize_->setPlaceholderText(QStringLiteral("max size"));
    dated_ = new QCheckBox(QStringLiteral("Created"), this);
    from_ = new QDateEdit(QDate::currentDate().addYears(-1), this);
    to_ = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* date : {from_, to_}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setEnabled(false);
    }
    auto* close = new QToolButton(this);
    close->setText(QStringLiteral("\u2715"));
    close->setToolTip(QStringLiteral("Close the filter bar (Esc)"));
    close->setAutoRaise(true);

    layout->addWidget(new QLabel(QStringLiteral("Filter:"), this));
    layout->addWidget(name_, 1);
    layout->addWidget(scope_);
    layout->addWidget(deleted_);
    layout->addWidget(condition_);
    layout->addWidget(minSize_);
    layout->addWidget(new QLabel(QStringLiteral("to"), this));
    layout->addWidget(maxSize_);
    layout->addWidget(dated_);
    layout->addWidget(from_);
    layout->addWidget(to_);
    layout->addWidget(close);

    typing_->setSingleShot(true);
    typing_->setInterval(kTypingPauseMs);
    connect(typing_, &QTimer::timeout, this, &CFilterBar::Changed);
    for (QLineEdit* field : {name_, minSize_, maxSize_})
        connect(field, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
    connect(scope_, &QComboBox::currentIndexChanged, this, &CFilterBar::Changed);
    connect(condition_, &QComboBox::currentIndexChanged, this, &CFilterBar::Changed);
    connect(deleted_, &QCheckBox::toggled, this, &CFilterBar::Changed);
    connect(dated_, &QCheckBox::toggled, this, [this](bool on) {
        from_->setEnabled(on);
        to_->setEnabled(on);
        emit Changed();
    });
    connect(from_, &QDateEdit::dateChanged, this, &CFilterBar::Changed);
    connect(to_, &QDateEdit::dateChanged, this, &CFilterBar::Changed);
    connect(close, &QToolButton::clicked, this, &CFilterBar::Close);
    hide();
}

EntryFilter CFilterBar::Filter() const {
    EntryFilter filter;
    filter.text = name_->text().trimmed().toStdString();
    filter.deletedOnly = deleted_->isChecked();
    filter.conditions = ConditionsOf(condition_->currentIndex());
    filter.minSize = ParseSizeText(minSize_->text());
    filter.maxSize = ParseSizeText(maxSize_->text());
    if (dated_->isChecked()) {
        filter.createdFrom = FileTimeOf(from_->date().startOfDay(Qt::UTC));
        filter.createdTo = FileTimeOf(to_->date().addDays(1).startOfDay(Qt::UTC)) - 1;
    }
    return filter;
}

bool CFilterBar::WholeVolume() const {
    return scope_->currentIndex() == 1;
}

bool CFilterBar::Idle() const {
    const EntryFilter filter = Filter();
    return isHidden() || (filter.text.empty() && !filter.deletedOnly && filter.NameOnly());
}

void CFilterBar::Open() {
    show();
    name_->setFocus();
    name_->selectAll();
}

void CFilterBar::Close() {
    typing_->stop();
    const QSignalBlocker blockName(name_), blockDeleted(deleted_), blockCondition(condition_),
        blockDated(dated_), blockMin(minSize_), blockMax(maxSize_), blockScope(scope_);
    name_->clear();
    minSize_->clear();
    maxSize_->clear();
    deleted_->setChecked(false);
    condition_->setCurrentIndex(0);
    scope_->setCurrentIndex(0);
    dated_->setChecked(false);
    from_->setEnabled(false);
    to_->setEnabled(false);
    hide();
    emit Closed();
}

void CFilterBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tarvik
