#include "app/busy_key_filter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>

#include "app/worker_reporting.h"

namespace tarvik {

CBusyKeyFilter::CBusyKeyFilter(QDialog* dialog, std::string warning)
    : QObject(dialog), dialog_(dialog), warning_(std::move(warning)) {
    qApp->installEventFilter(this);
}

CBusyKeyFilter::~CBusyKeyFilter() {
    qApp->removeEventFilter(this);
}

void CBusyKeyFilter::Warn() {
    // One warning at a time: a key held down must not stack boxes.
    if (warning_shown_) return;
    warning_shown_ = true;
    ShowNotice(warning_, kWarningCaption, NoticeIcon::Warning);
    warning_shown_ = false;
}

void CBusyKeyFilter::RefuseClose(QCloseEvent* event) {
    event->ignore();
    if (event->spontaneous()) Warn();
}

bool CBusyKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!dialog_ || !widget || widget->window() != dialog_) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool functionKey = key >= Qt::Key_F1 && key <= Qt::Key_F12;
    const bool endingKey = key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!functionKey && !endingKey) return false;
    if (functionKey && type == QEvent::KeyPress) Warn();
    if (key == Qt::Key_Escape && type == QEvent::KeyPress && escape_) escape_();
    // A shortcut override is accepted so that no shortcut takes the key; the key press
    // that follows is the one swallowed.
    if (type == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return true;
}

}  // namespace tarvik
