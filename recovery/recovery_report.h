#pragma once
// The report of a recovery: one row per file written, with the SHA-256 of the bytes
// written, the file's condition and its times, saved as tab-separated text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/file_condition.h"

namespace tarvik {

struct ReportRow {
    std::string path;  // as written, from the destination folder given
    std::uint64_t size = 0;
    std::string sha256;
    // The file's condition word, or "partly unreadable" when sectors of it could not
    // be read (they were written as zeros).
    std::string condition;
    std::uint32_t record = 0;
    // A file carved from free clusters has no record: the cluster it begins at instead.
    std::optional<std::uint64_t> firstCluster;
    EntryTimes times;
    std::uint64_t unreadableSectors = 0;
    // Where the file was read from: "live volume", "shadow copy 2 (...)".
    std::string source;
};

class RecoveryReport {
  public:
    void Add(ReportRow row) { rows_.push_back(std::move(row)); }
    const std::vector<ReportRow>& Rows() const { return rows_; }
    void Clear() { rows_.clear(); }
    // Names the source of every row that names none yet.
    void NameSource(const std::string& source) {
        for (ReportRow& row : rows_)
            if (row.source.empty()) row.source = source;
    }
    std::vector<ReportRow>& EditRows() { return rows_; }

    // The header line and one line per row. A tab, line break or backslash in a path is
    // written as \t, \n, \r or \\ so every row stays one line of eleven fields.
    std::string Text() const;
    // Writes Text() to `path` (replacing a file there). Empty on success, else why not.
    std::string Save(const std::string& path) const;

  private:
    std::vector<ReportRow> rows_;
};

}  // namespace tarvik
