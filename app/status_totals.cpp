#include "app/status_totals.h"

namespace tarvik {

std::string TotalsText(const char* prefix, std::uint32_t bytes, std::uint32_t files,
                       std::uint32_t folders) {
    constexpr std::uint32_t kGiB = 1u << 30;
    constexpr std::uint32_t kMiB = 1u << 20;
    std::uint32_t whole = 0;
    std::uint32_t rest = 0;
    const char* unit = "KB";
    if (bytes >= kGiB) {
        unit = "GB";
        whole = bytes >> 30;
        rest = (bytes >> 20) & 1023u;
    } else if (bytes >= kMiB) {
        unit = "MB";
        whole = bytes >> 20;
        rest = (bytes >> 10) & 1023u;
    } else {
        whole = bytes >> 10;
        rest = bytes & 1023u;
    }
    const std::string fraction = std::to_string(rest).substr(0, 2);
    return std::string(prefix) + " " + std::to_string(whole) + "." + fraction + " " + unit +
           " in " + std::to_string(files) + " Files in " + std::to_string(folders) + " Folders";
}

}  // namespace tarvik
