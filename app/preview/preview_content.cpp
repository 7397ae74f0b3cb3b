#include "app/preview/preview_content.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QStringDecoder>
#include <algorithm>

namespace tarvik {
namespace {

bool Unreadable(std::uint64_t offset, const std::vector<FileRange>& unreadable) {
    return std::any_of(unreadable.begin(), unreadable.end(), [&](const FileRange& range) {
        return offset >= range.offset && offset - range.offset < range.length;
    });
}

// Text a person wrote: no NUL and hardly any other control character but line ends,
// tabs and form feeds.
bool LooksWritten(const QString& text) {
    if (text.isEmpty()) return false;
    qsizetype controls = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0) return false;
        if (u < 0x20 && u != '\n' && u != '\r' && u != '\t' && u != '\f') ++controls;
    }
    return controls * 100 <= text.size();
}

// Decodes text with `encoding`; empty when the bytes do not decode. A multi-byte
// character cut at the window's end is no fault.
QString Decode(const QByteArray& bytes, QStringConverter::Encoding encoding) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        // A cut character at the very end is dropped and tried once more.
        for (int cut = 1; cut <= 3 && cut < bytes.size(); ++cut) {
            QStringDecoder again(encoding, QStringConverter::Flag::Stateless);
            text = again.decode(bytes.left(bytes.size() - cut));
            if (!again.hasError()) return text;
        }
        return {};
    }
    return text;
}

QString DecodeText(const QByteArray& window) {
    const QByteArray bytes = window.left(static_cast<qsizetype>(kPreviewTextBytes));
    if (bytes.startsWith("\xFF\xFE")) return Decode(bytes.mid(2), QStringConverter::Utf16LE);
    if (bytes.startsWith("\xFE\xFF")) return Decode(bytes.mid(2), QStringConverter::Utf16BE);
    if (bytes.startsWith("\xEF\xBB\xBF")) return Decode(bytes.mid(3), QStringConverter::Utf8);
    if (QString utf8 = Decode(bytes, QStringConverter::Utf8); LooksWritten(utf8)) return utf8;
    // UTF-16 without a mark: every other byte of Latin text is 0.
    if (bytes.size() >= 4 && bytes.size() % 2 == 0) {
        qsizetype oddZeros = 0;
        for (qsizetype i = 1; i < bytes.size(); i += 2) oddZeros += bytes[i] == 0 ? 1 : 0;
        if (oddZeros * 10 >= bytes.size() / 2 * 9) {
            if (QString utf16 = Decode(bytes, QStringConverter::Utf16LE); LooksWritten(utf16))
                return utf16;
        }
    }
    return {};
}

}  // namespace

bool NamesImage(const QString& name) {
    const QByteArray suffix = QFileInfo(name).suffix().toLower().toLatin1();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix);
}

QString HexDump(const QByteArray& bytes, const std::vector<FileRange>& unreadable) {
    const qsizetype shown = std::min<qsizetype>(bytes.size(), kPreviewTextBytes);
    QString dump;
    dump.reserve(shown / 16 * 80);
    for (qsizetype line = 0; line < shown; line += 16) {
        dump += QStringLiteral("%1  ").arg(line, 8, 16, QLatin1Char('0'));
        QString characters;
        for (qsizetype i = line; i < line + 16; ++i) {
            if (i >= shown) {
                dump += QStringLiteral("   ");
                continue;
            }
            if (Unreadable(static_cast<std::uint64_t>(i), unreadable)) {
                dump += QStringLiteral("?? ");
                characters += QLatin1Char('?');
                continue;
            }
            const auto byte = static_cast<unsigned char>(bytes[i]);
            dump += QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0'));
            characters += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QLatin1Char('.');
        }
        dump += QStringLiteral(" ") + characters + QLatin1Char('\n');
    }
    return dump;
}

PreviewContent MakePreviewContent(const QByteArray& bytes,
                                  const std::vector<FileRange>& unreadable) {
    PreviewContent content;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A Targa file has no signature: any bytes could pass for one.
    if (reader.canRead() && reader.format() != "tga") {
        reader.setAllocationLimit(256);  // MiB: a header claiming a huge picture is refused
        content.image = reader.read();
        if (!content.image.isNull()) {
            content.kind = PreviewKind::kImage;
            return content;
        }
    }
    if (QString text = DecodeText(bytes); !text.isEmpty()) {
        content.kind = PreviewKind::kText;
        content.text = std::move(text);
        return content;
    }
    content.kind = PreviewKind::kHex;
    content.text = HexDump(bytes, unreadable);
    return content;
}

}  // namespace tarvik
