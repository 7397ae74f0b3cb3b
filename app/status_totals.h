#pragma once
// The texts of the status bar's totals panes.
#include <cstdint>
#include <string>

namespace tarvik {

// "<prefix> <whole>.<fraction> <unit> in <files> Files in <folders> Folders", with the
// size in KB, MB or GB by its magnitude. The fraction is the remainder in the next
// smaller unit (0 to 1023) written in decimal and cut to its first two digits, so 1536
// bytes read "1.51 KB" and 1023 bytes "0.10 KB".
std::string TotalsText(const char* prefix, std::uint32_t bytes, std::uint32_t files,
                       std::uint32_t folders);

// The texts the two panes show until the first totals are written.
inline constexpr const char* kStartTotalText = "Total 0 Bytes in 0 Files in 0 Folders";
inline constexpr const char* kStartSelectedText = "Selected 0 Bytes in 0 Files in 0 Folders";

}  // namespace tarvik
