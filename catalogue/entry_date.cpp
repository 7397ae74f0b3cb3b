#include "catalogue/entry_date.h"

#include <cmath>
#include <cstdio>

namespace tarvik {

namespace {

// Days per unit of 2^32 x 100 ns, as the single-precision value 0x3BA2E3DD. It is a
// little below the exact 0.004971027, which puts late dates up to about half a day
// early; dates are kept exactly as this value gives them, so the same creation time
// always shows and is restored as the same day.
constexpr double kDaysPerUnit = static_cast<double>(0.004971011f);

// The Julian date of 1601-01-01 00:00 UTC (2305813.5) plus half a day, so that the
// integer part of the sum is the Julian day number of the date.
constexpr double kJulianDayAtEpoch = 2305813.5 + 0.5;

std::int64_t IntegerPart(double value) {
    return static_cast<std::int64_t>(std::trunc(value));
}

}  // namespace

CalendarDate DateFromFileTime(std::uint64_t fileTime) {
    const auto units = static_cast<std::uint32_t>(fileTime >> 32);
    const double x = static_cast<double>(units) * kDaysPerUnit + kJulianDayAtEpoch;

    // Julian day number to the Gregorian calendar.
    const std::int64_t z = IntegerPart(x);
    const std::int64_t alpha = IntegerPart((static_cast<double>(z) - 1867216.25) / 36524.25);
    const std::int64_t a = z + 1 + alpha - alpha / 4;
    const std::int64_t b = a + 1524;
    const std::int64_t c = IntegerPart((static_cast<double>(b) - 122.1) / 365.25);
    const std::int64_t dd = IntegerPart(365.25 * static_cast<double>(c));
    const std::int64_t e = IntegerPart(static_cast<double>(b - dd) / 30.6001);

    CalendarDate date;
    date.day = static_cast<int>(b - dd - IntegerPart(30.6001 * static_cast<double>(e)));
    date.month = static_cast<int>(e < 14 ? e - 1 : e - 13);
    date.year = static_cast<int>(date.month <= 2 ? c - 4715 : c - 4716);
    return date;
}

CalendarDate EntryDate(const CatalogueEntry& entry) {
    return DateFromFileTime(entry.creationTime);
}

std::string FormatDate(const CalendarDate& date) {
    char text[40];
    std::snprintf(text, sizeof text, "%.2d-%.2d-%d", date.day, date.month, date.year);
    return text;
}

std::string FormatEntryDate(const CatalogueEntry& entry) {
    return FormatDate(EntryDate(entry));
}

}  // namespace tarvik
