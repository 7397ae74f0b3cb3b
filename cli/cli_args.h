#pragma once
// The options of the commands, as the argument parser fills them.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::cli {

// Exit statuses of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// A recovery that wrote what it could, but not everything whole: files whose records
// cannot be read were not written, or sectors that cannot be read were written as zeros.
inline constexpr int kExitIncomplete = 3;

// The options every command that reads a drive shares.
struct DriveOptions {
    std::string disk;                   // --disk PATH
    std::optional<std::size_t> drive;   // --drive N, from 1
    bool search = false;                // --search
    bool advance = false;               // --advance
    std::optional<std::size_t> shadow;  // --shadow K: the drive's shadow copy K, from 1
    std::string saveScan;               // --save FILE: keep the scan (scan)
    std::string savedScan;              // --scan FILE: a kept scan instead of scanning (recover)
    bool carve = false;                 // --carve
};

struct RecoverOptions {
    DriveOptions drive;
    std::string out;                  // --out DIR
    bool all = false;                 // --all
    bool deleted = false;             // --deleted
    std::vector<std::string> select;  // --select TREEPATH...
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    std::string condition = "any";  // --condition intact|partial|any
    std::string report;             // --report FILE
    bool forceDestination = false;  // --force-destination
    bool allVersions = false;       // --all-versions
};

}  // namespace tarvik::cli
