#include "partition/drive_size_text.h"

namespace tarvik {

namespace {

// The next decimal digit of remainder / unit; the remainder becomes the rest. Adds the
// remainder ten times, never holding more than a unit, so no 64-bit unit overflows.
unsigned NextDigit(std::uint64_t& remainder, std::uint64_t unit) {
    unsigned digit = 0;
    std::uint64_t rest = 0;
    for (int i = 0; i < 10; ++i) {
        if (rest >= unit - remainder) {
            rest -= unit - remainder;
            ++digit;
        } else {
            rest += remainder;
        }
    }
    remainder = rest;
    return digit;
}

}  // namespace

std::string DecimalFigure(std::uint64_t count, std::uint64_t unit) {
    std::uint64_t remainder = count % unit;
    const unsigned tenths = NextDigit(remainder, unit);
    const unsigned hundredths = NextDigit(remainder, unit);
    return std::to_string(count / unit) + "." + std::to_string(tenths) + std::to_string(hundredths);
}

std::string FormatDriveSize(std::uint64_t sectors) {
    constexpr std::uint64_t kSectorsPerGiB = 0x200000;
    constexpr std::uint64_t kSectorsPerMiB = 0x800;
    const std::uint64_t unit = sectors >= kSectorsPerGiB ? kSectorsPerGiB : kSectorsPerMiB;
    const char* name = sectors >= kSectorsPerGiB ? "GB" : "MB";
    if (sectors % unit == 0) return std::to_string(sectors / unit) + name;
    return DecimalFigure(sectors, unit) + name;
}

}  // namespace tarvik
