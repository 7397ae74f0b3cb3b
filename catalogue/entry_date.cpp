#include "catalogue/entry_date.h"

#include <cstdio>

namespace tarvik {

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kSecondsPerDay = 86'400;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDaysTo1970 = 134'774;

// The Gregorian date of a count of days since 1970-01-01 (the proleptic calendar, any
// 64-bit count), by eras of 400 years.
CalendarDate CivilFromDays(std::int64_t days) {
    days += 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const std::int64_t dayOfEra = days - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    CalendarDate date;
    date.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    date.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

// The two digits of 0 to 99, one after another.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// `value` in exactly `width` decimal digits with leading zeros, at `at`; returns the end.
// Listings format a million times: this stays clear of the locale and format strings,
// and takes the digits two at a time.
char* PutDigits(char* at, std::uint64_t value, int width) {
    int k = width;
    for (; k >= 2; k -= 2) {
        const std::uint64_t pair = value % 100;
        value /= 100;
        at[k - 2] = kDigitPairs[2 * pair];
        at[k - 1] = kDigitPairs[2 * pair + 1];
    }
    if (k == 1) at[0] = static_cast<char>('0' + value % 10);
    return at + width;
}

// "2026-12-07T", the year with four digits or, past 9999, five (at most 60056).
char* PutIsoDate(char* at, const CalendarDate& date) {
    at = PutDigits(at, static_cast<std::uint64_t>(date.year), date.year > 9999 ? 5 : 4);
    *at++ = '-';
    at = PutDigits(at, static_cast<std::uint64_t>(date.month), 2);
    *at++ = '-';
    at = PutDigits(at, static_cast<std::uint64_t>(date.day), 2);
    *at++ = 'T';
    return at;
}

// "11:28:03".
char* PutClock(char* at, std::uint64_t fileTime) {
    const std::uint64_t second = fileTime / kTicksPerSecond % kSecondsPerDay;
    at = PutDigits(at, second / 3600, 2);
    *at++ = ':';
    at = PutDigits(at, second / 60 % 60, 2);
    *at++ = ':';
    return PutDigits(at, second % 60, 2);
}

// "2026-12-07T11:28:03".
char* PutIsoSeconds(char* at, std::uint64_t fileTime) {
    return PutClock(PutIsoDate(at, DateFromFileTime(fileTime)), fileTime);
}

char* PutTicksAndZone(char* at, std::uint64_t fileTime) {
    *at++ = '.';
    at = PutDigits(at, fileTime % kTicksPerSecond, 7);
    *at++ = 'Z';
    return at;
}

}  // namespace

CalendarDate DateFromFileTime(std::uint64_t fileTime) {
    const auto days = static_cast<std::int64_t>(fileTime / kTicksPerSecond / kSecondsPerDay);
    return CivilFromDays(days - kDaysTo1970);
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

std::string FormatIsoTime(std::uint64_t fileTime) {
    std::string text;
    AppendIsoTime(text, fileTime);
    return text;
}

void AppendIsoTime(std::string& out, std::uint64_t fileTime) {
    char text[32];
    char* end = PutIsoSeconds(text, fileTime);
    *end++ = 'Z';
    out.append(text, end);
}

void AppendIsoTimeToTicks(std::string& out, std::uint64_t fileTime) {
    char text[32];
    char* end = PutTicksAndZone(PutIsoSeconds(text, fileTime), fileTime);
    out.append(text, end);
}

char* IsoTimeWriter::PutDateAndClock(char* at, std::uint64_t fileTime) {
    const std::uint64_t day = fileTime / kTicksPerSecond / kSecondsPerDay;
    if (day != day_) {
        dateBytes_ =
            static_cast<std::size_t>(PutIsoDate(date_, DateFromFileTime(fileTime)) - date_);
        day_ = day;
    }
    for (std::size_t i = 0; i < dateBytes_; ++i) at[i] = date_[i];
    return PutClock(at + dateBytes_, fileTime);
}

char* IsoTimeWriter::PutSeconds(char* at, std::uint64_t fileTime) {
    at = PutDateAndClock(at, fileTime);
    *at++ = 'Z';
    return at;
}

char* IsoTimeWriter::PutTicks(char* at, std::uint64_t fileTime) {
    return PutTicksAndZone(PutDateAndClock(at, fileTime), fileTime);
}

char* IsoTimeWriter::PutTicksOrDash(char* at, std::uint64_t fileTime) {
    if (fileTime != 0) return PutTicks(at, fileTime);
    *at = '-';
    return at + 1;
}

}  // namespace tarvik
