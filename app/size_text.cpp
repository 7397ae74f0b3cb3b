#include "app/size_text.h"

#include <QLocale>
#include <algorithm>

namespace tarvik {

QString SizeText(std::uint64_t bytes) {
    const auto clamped = static_cast<qint64>(std::min<std::uint64_t>(bytes, INT64_MAX));
    QString text = QLocale().formattedDataSize(clamped, 1, QLocale::DataSizeTraditionalFormat);
    // Qt names 1024 bytes "kB"; the totals panes and the rest of the program say "KB".
    if (text.endsWith(QStringLiteral(" kB"))) text.replace(text.size() - 2, 1, QChar('K'));
    return text;
}

}  // namespace tarvik
