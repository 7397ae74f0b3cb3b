#include "recovery/file_versions.h"

#include <algorithm>

#include "catalogue/entry_date.h"

namespace tarvik {

bool VersionDiffers(const std::optional<FileVersionKey>& live,
                    const std::vector<FileVersionKey>& writtenBefore,
                    const FileVersionKey& version) {
    if (live && live->SameVersionAs(version)) return false;
    return std::none_of(writtenBefore.begin(), writtenBefore.end(),
                        [&](const FileVersionKey& k) { return k.SameVersionAs(version); });
}

namespace {

// "2013-12-03T06:37:48Z" cut to its date and its hour and minute.
std::string DateAndMinute(std::uint64_t time, std::string_view between, bool colon) {
    const std::string iso = FormatIsoTime(time);
    const std::size_t t = iso.find('T');
    if (t == std::string::npos || iso.size() < t + 6) return iso;
    std::string text = iso.substr(0, t);
    text += between;
    text += iso.substr(t + 1, 2);
    if (colon) text += ':';
    text += iso.substr(t + 4, 2);
    return text;
}

}  // namespace

std::string ShadowStamp(std::uint64_t creationTime) {
    return DateAndMinute(creationTime, " ", false);
}

std::string ShadowCopyLabel(std::size_t copy, std::size_t drive, std::uint64_t creationTime) {
    return "Shadow copy " + std::to_string(copy) + " of drive " + std::to_string(drive) + ", " +
           DateAndMinute(creationTime, " ", true) + " UTC";
}

std::string ShadowCopyName(std::size_t copy, std::uint64_t creationTime) {
    return "shadow copy " + std::to_string(copy) + " (" + DateAndMinute(creationTime, " ", true) +
           " UTC)";
}

std::string VersionFileName(std::string_view name, std::string_view stamp) {
    const std::string tag = " (shadow " + std::string(stamp) + ")";
    const std::size_t dot = name.rfind('.');
    // A leading dot names the file, a trailing one ends it: neither begins an extension.
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return std::string(name) + tag;
    return std::string(name.substr(0, dot)) + tag + std::string(name.substr(dot));
}

}  // namespace tarvik
