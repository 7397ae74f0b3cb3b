#include "app/help_window.h"

#include <QPointer>
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
        manual->resize(640, 560);
    }
    manual->show();
    manual->raise();
    manual->activateWindow();
    return manual;
}

}  // namespace tarvik
