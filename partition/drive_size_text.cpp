#include "partition/drive_size_text.h"

namespace tarvik {

namespace {

std::string WithRemainder(std::uint64_t whole, std::uint64_t remainderInSmallerUnit,
                          bool hasRemainder, const char* unit) {
    std::string text = std::to_string(whole);
    if (hasRemainder) text += "." + std::to_string(remainderInSmallerUnit).substr(0, 2);
    return text + unit;
}

}  // namespace

std::string FormatDriveSize(std::uint64_t sectors) {
    constexpr std::uint64_t kSectorsPerGiB = 0x200000;
    if (sectors >= kSectorsPerGiB) {
        const std::uint64_t remainder = sectors & 0x1FFFFF;
        return WithRemainder(sectors >> 21, remainder >> 11, remainder != 0, "GB");
    }
    const std::uint64_t remainder = sectors & 0x7FF;
    return WithRemainder(sectors >> 11, remainder >> 1, remainder != 0, "MB");
}

}  // namespace tarvik
