#pragma once
// The date shown for an entry and given to a recovered file, from the entry's 64-bit
// creation time. The desktop list shows the calendar day; the command line shows the
// time to the second.
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/catalogue_entry.h"

namespace tarvik {

struct CalendarDate {
    int day = 1;      // 1-31
    int month = 1;    // 1-12
    int year = 1601;  // up to 60055, the year of the largest time

    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// The UTC day of a FILETIME (100 ns units since 1601-01-01 UTC), exactly: a time late
// in the evening stays on its own day. A time of 0 gives 1 January 1601.
CalendarDate DateFromFileTime(std::uint64_t fileTime);

CalendarDate EntryDate(const CatalogueEntry& entry);

// "dd-mm-y": two-digit day and month, the year without padding ("01-01-1601").
std::string FormatDate(const CalendarDate& date);
std::string FormatEntryDate(const CatalogueEntry& entry);

// ISO 8601 in UTC to the second: "2026-12-07T11:28:03Z".
std::string FormatIsoTime(std::uint64_t fileTime);
void AppendIsoTime(std::string& out, std::uint64_t fileTime);
// The same to the tick of 100 ns, seven digits after the second: "2026-12-07T11:28:03.0451200Z".
void AppendIsoTimeToTicks(std::string& out, std::uint64_t fileTime);

// Writes times as AppendIsoTime and AppendIsoTimeToTicks spell them, into a buffer,
// remembering the date of the last day it wrote: a listing's times fall on few days,
// and working out a day's date is most of what a time costs.
class IsoTimeWriter {
  public:
    // Longest text either writes.
    static constexpr std::size_t kMaxBytes = 32;

    // At `at`; each returns the end of what it wrote.
    char* PutSeconds(char* at, std::uint64_t fileTime);
    char* PutTicks(char* at, std::uint64_t fileTime);
    // PutTicks, but a time of 0 (not known) as a dash.
    char* PutTicksOrDash(char* at, std::uint64_t fileTime);

  private:
    char* PutDateAndClock(char* at, std::uint64_t fileTime);

    std::uint64_t day_ = UINT64_MAX;
    char date_[16] = {};  // "2026-12-07T", or with a five-digit year
    std::size_t dateBytes_ = 0;
};

}  // namespace tarvik
