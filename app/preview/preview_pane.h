#pragma once
// The preview beside the file list: the current row's file as a recovery would write it,
// shown as a picture (scaled to the pane), as text, or as a hex dump, with a line that
// names what could not be read. The bytes come from a reader thread; a new row stops the
// read of the one before.
#include <QByteArray>
#include <QImage>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <vector>

#include "app/preview/preview_content.h"
#include "app/preview/preview_reader.h"

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace tarvik {

class RecoverySession;

class CPreviewPane : public QWidget {
    Q_OBJECT
  public:
    CPreviewPane(RecoverySession& session, QWidget* parent = nullptr);

    // Shows catalogue entry `index` (nothing: no row); a folder shows its name only.
    void ShowEntry(std::optional<std::size_t> index);
    // Stops the read under way; nothing is read until the next ShowEntry.
    void Halt();

    // What the pane shows now (for tests and the screenshots' checks).
    std::optional<std::size_t> ShownEntry() const { return shown_; }
    bool Loading() const { return loading_; }
    const QByteArray& Bytes() const { return bytes_; }
    PreviewKind Kind() const { return content_.kind; }
    const std::vector<FileRange>& UnreadableRanges() const { return unreadable_; }

  signals:
    // The bytes of the shown entry are in (or it cannot be read).
    void Shown();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void OnLoaded(const PreviewBytes& bytes);
    void ShowMessage(const QString& text);
    void ScaleImage();

    RecoverySession& session_;
    CPreviewReader* reader_;
    QLabel* title_;
    QLabel* note_;
    QStackedWidget* stack_;
    QLabel* image_;
    QPlainTextEdit* text_;
    QLabel* message_;
    std::optional<std::size_t> shown_;
    quint64 request_ = 0;
    bool loading_ = false;
    QByteArray bytes_;
    std::vector<FileRange> unreadable_;
    PreviewContent content_;
};

}  // namespace tarvik
