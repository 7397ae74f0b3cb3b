#include "app/preview/preview_pane.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "session/recovery_session.h"

namespace tarvik {
namespace {

constexpr int kImagePage = 0;
constexpr int kTextPage = 1;
constexpr int kMessagePage = 2;

QString NameOf(const CatalogueEntry& entry) {
    return QString::fromUtf8(entry.Name().data(), static_cast<qsizetype>(entry.Name().size()));
}

// "Bytes 4,096 to 8,191 could not be read; they show as zeros."
QString UnreadableNote(const std::vector<FileRange>& ranges) {
    if (ranges.empty()) return {};
    const QLocale locale;
    QStringList parts;
    std::uint64_t total = 0;
    for (const FileRange& range : ranges) total += range.length;
    for (std::size_t i = 0; i < ranges.size() && i < 3; ++i) {
        parts << QStringLiteral("%1 to %2")
                     .arg(locale.toString(static_cast<qulonglong>(ranges[i].offset)),
                          locale.toString(
                              static_cast<qulonglong>(ranges[i].offset + ranges[i].length - 1)));
    }
    if (ranges.size() > 3) parts << QStringLiteral("...");
    return QStringLiteral("%1 bytes could not be read (shown as zeros): %2")
        .arg(locale.toString(static_cast<qulonglong>(total)), parts.join(QStringLiteral(", ")));
}

}  // namespace

CPreviewPane::CPreviewPane(RecoverySession& session, QWidget* parent)
    : QWidget(parent), session_(session), reader_(new CPreviewReader(session, this)) {
    setObjectName(QStringLiteral("previewPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("previewTitle"));
    title_->setWordWrap(true);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("previewNote"));
    note_->setWordWrap(true);
    note_->setStyleSheet(QStringLiteral("color: #a00000"));
    note_->hide();
    stack_ = new QStackedWidget(this);
    image_ = new QLabel(stack_);
    image_->setAlignment(Qt::AlignCenter);
    image_->setMinimumSize(1, 1);
    text_ = new QPlainTextEdit(stack_);
    text_->setObjectName(QStringLiteral("previewText"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    message_ = new QLabel(stack_);
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    stack_->insertWidget(kImagePage, image_);
    stack_->insertWidget(kTextPage, text_);
    stack_->insertWidget(kMessagePage, message_);
    layout->addWidget(title_);
    layout->addWidget(note_);
    layout->addWidget(stack_, 1);
    connect(reader_, &CPreviewReader::Loaded, this, &CPreviewPane::OnLoaded, Qt::QueuedConnection);
    ShowMessage(QStringLiteral("No file chosen"));
}

void CPreviewPane::ShowMessage(const QString& text) {
    message_->setText(text);
    stack_->setCurrentIndex(kMessagePage);
}

void CPreviewPane::Halt() {
    reader_->Halt();
    loading_ = false;
    ++request_;  // a result still queued is of no use now
}

void CPreviewPane::ShowEntry(std::optional<std::size_t> index) {
    bytes_.clear();
    unreadable_.clear();
    content_ = {};
    note_->hide();
    shown_ = index;
    loading_ = false;
    const Catalogue* catalogue = session_.HasDrive() ? &session_.GetCatalogue() : nullptr;
    if (!index || catalogue == nullptr || *index >= catalogue->Count()) {
        reader_->Halt();
        title_->clear();
        ShowMessage(QStringLiteral("No file chosen"));
        return;
    }
    const CatalogueEntry& entry = catalogue->At(*index);
    const QString name = NameOf(entry);
    title_->setText(name);
    if (entry.IsDirectory()) {
        reader_->Halt();
        ShowMessage(QStringLiteral("A folder"));
        return;
    }
    loading_ = true;
    ShowMessage(QStringLiteral("Reading..."));
    request_ = reader_->Request(*index, NamesImage(name) ? kPreviewImageBytes : kPreviewTextBytes);
}

void CPreviewPane::OnLoaded(const PreviewBytes& bytes) {
    if (bytes.request != request_ || !shown_ || bytes.catalogueIndex != *shown_) return;
    loading_ = false;
    if (!bytes.readable) {
        ShowMessage(
            QStringLiteral("The file's record cannot be read: where its data lies is not "
                           "known, and it cannot be recovered."));
        emit Shown();
        return;
    }
    const DataWindow& window = bytes.window;
    bytes_ = QByteArray(reinterpret_cast<const char*>(window.bytes.data()),
                        static_cast<qsizetype>(window.bytes.size()));
    unreadable_ = window.unreadable;
    const QLocale locale;
    title_->setText(title_->text().section(QLatin1Char('\n'), 0, 0) + QLatin1Char('\n') +
                    QStringLiteral("%1 bytes")
                        .arg(locale.toString(static_cast<qulonglong>(window.fileLength))));
    if (const QString note = UnreadableNote(unreadable_); !note.isEmpty()) {
        note_->setText(note);
        note_->show();
    }
    if (bytes_.isEmpty()) {
        ShowMessage(QStringLiteral("An empty file"));
        emit Shown();
        return;
    }
    content_ = MakePreviewContent(bytes_, unreadable_);
    if (content_.kind == PreviewKind::kImage) {
        stack_->setCurrentIndex(kImagePage);
        ScaleImage();
    } else {
        QFont font = content_.kind == PreviewKind::kHex
                         ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                         : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        text_->setFont(font);
        text_->setPlainText(content_.text);
        stack_->setCurrentIndex(kTextPage);
    }
    emit Shown();
}

void CPreviewPane::ScaleImage() {
    if (content_.kind != PreviewKind::kImage || content_.image.isNull()) return;
    const QSize room = image_->size().boundedTo(content_.image.size());
    image_->setPixmap(QPixmap::fromImage(
        content_.image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void CPreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ScaleImage();
}

}  // namespace tarvik
