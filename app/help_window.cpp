#include "app/help_window.h"

#include "app/window_fit.h"

#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

namespace tarvik {

QWidget* ShowManual(QWidget* parent) {
    static QPointer<QTextBrowser> manual;
    if (!manual) {
        manual = new QTextBrowser(parent);
        manual->setWindowFlag(Qt::Window);
        manual->setAttribute(Qt::WA_DeleteOnClose);
        manual->setObjectName("manual");
        manual->setOpenExternalLinks(true);
        manual->setWindowTitle("Corvane Miravel NTFS Help");
        manual->setSource(QUrl("qrc:/manual/index.html"));
        FitToScreen(manual, QSize(640, 560));
        // Esc closes the manual as it closes a dialog.
        auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), manual);
        QObject::connect(close, &QShortcut::activated, manual, &QWidget::close);
    }
    manual->show();
    manual->raise();
    manual->activateWindow();
    return manual;
}

}  // namespace tarvik
