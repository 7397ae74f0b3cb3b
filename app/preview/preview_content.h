#pragma once
// How a preview shows a file's first bytes: as a picture when an image reader takes
// them, as text when they decode as UTF-8 or UTF-16, else as a hex dump. Pure
// functions of the bytes, so that what a preview shows can be checked without a window.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

#include "filedata/file_data_copy.h"

namespace tarvik {

enum class PreviewKind { kImage, kText, kHex };

// The most of a file any preview reads: a picture of a few MiB is whole, every other
// file shows its first kTextBytes.
inline constexpr std::size_t kPreviewImageBytes = 4u << 20;
inline constexpr std::size_t kPreviewTextBytes = 64u << 10;

// Whether a name's type is one an image reader of this program takes (by its suffix):
// only then are more than kPreviewTextBytes read.
bool NamesImage(const QString& name);

struct PreviewContent {
    PreviewKind kind = PreviewKind::kHex;
    QImage image;
    QString text;  // the decoded text, or the hex dump
};

// Decides and makes what shows `bytes` (the file's first bytes; `unreadable` the ranges
// read as zeros, marked in a hex dump as "??").
PreviewContent MakePreviewContent(const QByteArray& bytes,
                                  const std::vector<FileRange>& unreadable);

// The hex dump of the first kPreviewTextBytes: offset, 16 bytes, their printable
// characters; bytes in an unreadable range show as "??".
QString HexDump(const QByteArray& bytes, const std::vector<FileRange>& unreadable);

}  // namespace tarvik
