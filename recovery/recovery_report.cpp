#include "recovery/recovery_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvik {
namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The record number, or "cluster N" for a file carved from free clusters.
std::string RecordField(const ReportRow& row) {
    if (row.firstCluster) return "cluster " + std::to_string(*row.firstCluster);
    return std::to_string(row.record);
}

}  // namespace

std::string RecoveryReport::Text() const {
    std::string text =
        "PATH\tSIZE\tSHA256\tCONDITION\tRECORD\tCREATED\tMODIFIED\tMFT CHANGED\tACCESSED\t"
        "UNREADABLE SECTORS\tSOURCE\n";
    for (const ReportRow& row : rows_) {
        text +=
            Escaped(row.path) + '\t' + std::to_string(row.size) + '\t' + row.sha256 + '\t' +
            row.condition + '\t' + RecordField(row) + '\t' + FormatPreciseTime(row.times.creation) +
            '\t' + FormatPreciseTime(row.times.modification) + '\t' +
            FormatPreciseTime(row.times.recordChange) + '\t' + FormatPreciseTime(row.times.access) +
            '\t' + std::to_string(row.unreadableSectors) + '\t' + Escaped(row.source) + '\n';
    }
    return text;
}

std::string RecoveryReport::Save(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return std::strerror(errno);
    const std::string text = Text();
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written) return std::strerror(writeError);
    if (!closed) return std::strerror(errno);
    return {};
}

}  // namespace tarvik
