#pragma once
// The older versions of files that a volume's shadow copies hold: when a copy's file is
// another version than the live volume's, and the name it is written under beside the
// live one ("report.docx", "report (shadow 2013-12-03 0637).docx").
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

// What tells two versions of one file apart without reading them: the size of its data
// and the last time its data was written ($STANDARD_INFORMATION). Windows sets that time
// on every write of the data, so a copy holding the same size and time holds the same
// bytes; a version whose time is unknown (0) is never taken as the same as another.
struct FileVersionKey {
    std::uint64_t size = 0;
    std::uint64_t modification = 0;  // FILETIME; 0 unknown

    bool SameVersionAs(const FileVersionKey& other) const {
        return modification != 0 && size == other.size && modification == other.modification;
    }
};

// Whether a shadow copy's file at a path is a version worth writing: the live volume has
// no file there, or another version, and no version written already for the path (from
// the live volume or an earlier copy) is the same.
bool VersionDiffers(const std::optional<FileVersionKey>& live,
                    const std::vector<FileVersionKey>& writtenBefore,
                    const FileVersionKey& version);

// "2013-12-03 0637": the minute a shadow copy was made (UTC), as file names carry it.
std::string ShadowStamp(std::uint64_t creationTime);

// "Shadow copy 2 of drive 1, 2013-12-03 06:37 UTC", as the drive lists show a copy.
std::string ShadowCopyLabel(std::size_t copy, std::size_t drive, std::uint64_t creationTime);

// "shadow copy 2 (2013-12-03 06:37 UTC)", as a report names where a version was read from.
std::string ShadowCopyName(std::size_t copy, std::uint64_t creationTime);

// The name a version is written under: " (shadow STAMP)" before the name's extension,
// or at its end when it has none ("syslog (shadow ...)", ".profile (shadow ...)").
std::string VersionFileName(std::string_view name, std::string_view stamp);

}  // namespace tarvik
