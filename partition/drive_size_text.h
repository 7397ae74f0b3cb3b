#pragma once
#include <cstdint>
#include <string>

namespace tarvik {

// "<whole>.<hh>": count / unit with the first two decimal digits of the fraction, cut
// rather than rounded (1.999 units read "1.99", 1.005 read "1.00").
std::string DecimalFigure(std::uint64_t count, std::uint64_t unit);

// A drive size as the drive list shows it: GB (or MB below one gibibyte), whole when
// the size is a whole number of units, else with two decimals: 3,145,728 sectors read
// "1.50GB", 2,048 sectors "1MB".
std::string FormatDriveSize(std::uint64_t sectors);

}  // namespace tarvik
