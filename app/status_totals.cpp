#include "app/status_totals.h"

#include "partition/drive_size_text.h"

namespace tarvik {

std::string TotalsText(const char* prefix, std::uint64_t bytes, std::uint64_t files,
                       std::uint64_t folders) {
    constexpr std::uint64_t kGiB = 1ull << 30;
    constexpr std::uint64_t kMiB = 1ull << 20;
    const std::uint64_t unit = bytes >= kGiB ? kGiB : bytes >= kMiB ? kMiB : 1024;
    const char* name = bytes >= kGiB ? "GB" : bytes >= kMiB ? "MB" : "KB";
    return std::string(prefix) + " " + DecimalFigure(bytes, unit) + " " + name + " in " +
           std::to_string(files) + " Files in " + std::to_string(folders) + " Folders";
}

}  // namespace tarvik
