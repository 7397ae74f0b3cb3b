#pragma once
// The texts of the status bar's totals panes.
#include <cstdint>
#include <string>

namespace tarvik {

// "<prefix> <whole>.<fraction> <unit> in <files> Files in <folders> Folders", with the
// size in KB, MB or GB by its magnitude and two decimals of the unit, cut: 1536 bytes
// read "1.50 KB", 1023 bytes "0.99 KB". Every count is 64-bit.
std::string TotalsText(const char* prefix, std::uint64_t bytes, std::uint64_t files,
                       std::uint64_t folders);

// The texts the two panes show until the first totals are written.
inline constexpr const char* kStartTotalText = "Total 0 Bytes in 0 Files in 0 Folders";
inline constexpr const char* kStartSelectedText = "Checked 0 Bytes in 0 Files in 0 Folders";

}  // namespace tarvik
