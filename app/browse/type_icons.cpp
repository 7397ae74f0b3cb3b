#include "app/browse/type_icons.h"

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>

namespace tarvik {
namespace {

// Themes without icons of their own for file types (an empty name, hicolor) borrow
// another installed theme's.
void ChooseFallbackTheme() {
    static const bool chosen = [] {
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == "hicolor")
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)chosen;
}

QIcon ThemeIconForName(const QString& name) {
    static QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return {};
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    return icon;
}

QColor ConditionColour(FileCondition condition) {
    switch (condition) {
        case FileCondition::kIntact:
            return QColor(0x2e, 0x9d, 0x3a);
        case FileCondition::kPartlyOverwritten:
        case FileCondition::kPartlyUnreadable:
        case FileCondition::kUnknown:
            return QColor(0xe0, 0x9a, 0x10);
        case FileCondition::kOverwritten:
        case FileCondition::kUnreadable:
            return QColor(0xc8, 0x1e, 0x1e);
        case FileCondition::kNotApplicable:
            break;
    }
    return {};
}

void DrawMarks(QPixmap& pixmap, bool deleted, std::optional<FileCondition> condition) {
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = pixmap.width() / pixmap.devicePixelRatio();
    const qreal mark = std::max<qreal>(5, side * 0.4);
    if (deleted) {
        painter.setPen(QPen(QColor(0xd0, 0x10, 0x10), std::max<qreal>(1.5, side / 10)));
        painter.drawLine(QPointF(1, side - mark), QPointF(mark, side - 1));
        painter.drawLine(QPointF(1, side - 1), QPointF(mark, side - mark));
    }
    if (condition) {
        const QColor colour = ConditionColour(*condition);
        if (!colour.isValid()) return;
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(colour);
        painter.drawEllipse(QRectF(side - mark, side - mark, mark - 1, mark - 1));
    }
}

}  // namespace

QPixmap TypeIcon(const CatalogueEntry& entry, std::optional<FileCondition> condition, int size,
                 const QPixmap& drawn) {
    if (entry.IsDirectory()) return drawn;
    ChooseFallbackTheme();
    const QString name =
        QString::fromUtf8(entry.Name().data(), static_cast<qsizetype>(entry.Name().size()));
    const QString suffix = name.section(QLatin1Char('.'), -1).toLower();
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(name.contains(QLatin1Char('.')) ? suffix : QString())
                            .arg(entry.IsDeleted() ? 1 : 0)
                            .arg(condition ? static_cast<int>(*condition) : -1)
                            .arg(size);
    static QHash<QString, QPixmap> cache;
    if (const auto found = cache.constFind(key); found != cache.constEnd()) return *found;
    const QIcon themed = ThemeIconForName(name);
    QPixmap icon = themed.isNull() ? drawn : themed.pixmap(size, size);
    if (icon.isNull()) icon = drawn;
    // The drawn icon of a deleted file already says so; a themed one gets the cross.
    DrawMarks(icon, entry.IsDeleted() && !themed.isNull(), condition);
    cache.insert(key, icon);
    return icon;
}

}  // namespace tarvik
