#pragma once
// The report of a recovery: one row per file written, with the SHA-256 of the bytes
// written, the file's condition and its times, saved as tab-separated text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recovery/file_condition.h"

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
};

class RecoveryReport {
  public:
    void Add(ReportRow row) { rows_.push_back(std::move(row)); }
    const std::vector<ReportRow>& Rows() const { return rows_; }
    void Clear() { rows_.clear(); }

    // The header line and one line per row. A tab, line break or backslash in a path is
    // written as \t, \n, \r or \\ so every row stays one line of ten fields.
    std::string Text() const;
    // Writes Text() to `path` (replacing a file there). Empty on success, else why not.
    std::string Save(const std::string& path) const;

  private:
    std::vector<ReportRow> rows_;
};

}  // namespace tarvik
