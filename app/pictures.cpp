#include "app/pictures.h"

#include <QBitmap>
#include <QImage>
#include <QMap>

#include "app/resource_ids.h"

namespace tarvik {

namespace {

QString PicturePath(const char* name) {
    return QStringLiteral(":/pictures/") + QLatin1String(name);
}

// Cuts a strip into images of `width` and makes `key` transparent in each.
QList<QPixmap> CutStrip(const QString& path, int width, const QColor& key) {
    const QImage strip(path);
    QList<QPixmap> images;
    for (int x = 0; x + width <= strip.width(); x += width) {
        QPixmap one = QPixmap::fromImage(strip.copy(x, 0, width, strip.height()));
        one.setMask(one.createMaskFromColor(key, Qt::MaskInColor));
        images.append(one);
    }
    return images;
}

}  // namespace

QPixmap Picture(int resourceId) {
    switch (resourceId) {
        case IDB_SPLASH:
            return QPixmap(PicturePath("bitmap_181.png"));
        case IDB_ABOUT:
            return QPixmap(PicturePath("bitmap_200.png"));
        case 179:
            return QPixmap(PicturePath("bitmap_179.png"));
        case IDR_MAINFRAME:
            return QPixmap(PicturePath("icon_128.png"));
        case IDI_STATUS:
            return QPixmap(PicturePath("icon_134.png"));
        case 172:
            return QPixmap(PicturePath("icon_172.png"));
        default:
            return {};
    }
}

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(PicturePath("icon_128.png"));
    icon.addFile(PicturePath("icon_128_256.png"));
    return icon;
}

QIcon ToolbarIcon(int index) {
    // One drawing at three sizes: the icon engine picks the one that matches the screen's
    // scale, and greys the disabled state itself.
    QIcon icon;
    for (int size : {30, 45, 60}) {
        static QMap<int, QPixmap> strips;
        if (!strips.contains(size))
            strips.insert(size, QPixmap(PicturePath("toolbar_%1.png").arg(size)));
        const QPixmap& strip = strips[size];
        if (index < 0 || (index + 1) * size > strip.width()) return {};
        icon.addPixmap(strip.copy(index * size, 0, size, size));
    }
    return icon;
}

QList<QPixmap> TreeImages() {
    return CutStrip(PicturePath("tree_images.png"), 16, Qt::white);
}

QList<QPixmap> ListIcons(int size) {
    const char* name = size >= 32 ? "list_icons_32.png" : "list_icons_16.png";
    const int width = size >= 32 ? 32 : 16;
    QList<QPixmap> icons;
    const QImage strip(PicturePath(name));
    for (int x = 0; x + width <= strip.width(); x += width)
        icons.append(QPixmap::fromImage(strip.copy(x, 0, width, strip.height())));
    return icons;
}

}  // namespace tarvik
