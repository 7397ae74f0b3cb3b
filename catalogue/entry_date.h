#pragma once
// The calendar date shown for an entry and given to a recovered file. Only the high 32
// bits of the creation time are used, so the date is that of a 429-second unit; the
// time of day is not kept (the date stands for 00:00:00 of that day).
#include <cstdint>
#include <string>

#include "catalogue/catalogue_entry.h"

namespace tarvik {

struct CalendarDate {
    int day = 1;    // 1-31
    int month = 1;  // 1-12
    int year = 1601;

    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// The date of a FILETIME (100 ns units since 1601-01-01 UTC). A time of 0 gives
// 1 January 1601.
CalendarDate DateFromFileTime(std::uint64_t fileTime);

CalendarDate EntryDate(const CatalogueEntry& entry);

// "dd-mm-y": two-digit day and month, the year without padding ("01-01-1601").
std::string FormatDate(const CalendarDate& date);
std::string FormatEntryDate(const CatalogueEntry& entry);

}  // namespace tarvik
