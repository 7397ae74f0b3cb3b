#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "catalogue/catalogue_entry.h"
#include "catalogue/entry_date.h"
#include "common/utf16.h"

namespace tarvik {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kSecondsPerDay = 86'400;

// FILETIME of a UTC day at a given second of that day.
std::uint64_t FileTimeOf(std::chrono::year_month_day day, std::uint64_t secondOfDay) {
    using namespace std::chrono;
    const auto sinceEpoch = sys_days(day) - sys_days(year(1601) / January / 1);
    const auto days = static_cast<std::uint64_t>(sinceEpoch.count());
    return (days * kSecondsPerDay + secondOfDay) * kTicksPerSecond;
}

CatalogueEntry EntryCreatedAt(std::uint64_t fileTime) {
    CatalogueEntry entry;
    entry.creationTime = fileTime;
    return entry;
}

TEST(EntryDate, ExactDayAndTimeOfTheWholeCreationTime) {
    using namespace std::chrono;
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(0)), "01-01-1601");
    EXPECT_EQ(FormatIsoTime(0), "1601-01-01T00:00:00Z");
    // The last 100 ns of the first day, and the first of the second.
    const std::uint64_t day = kSecondsPerDay * kTicksPerSecond;
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(day - 1)), "01-01-1601");
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(day)), "02-01-1601");
    EXPECT_EQ(FormatIsoTime(day - 1), "1601-01-01T23:59:59Z");

    const std::uint64_t noon = 12 * 3600;
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(FileTimeOf(year(2000) / February / 29, noon))),
              "29-02-2000");
    // A time in the late morning that the low-precision formula put on the day before.
    const std::uint64_t created = FileTimeOf(year(2026) / December / 7, 11 * 3600 + 28 * 60 + 3);
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(created)), "07-12-2026");
    EXPECT_EQ(FormatIsoTime(created + 9'999'999), "2026-12-07T11:28:03Z");
    EXPECT_EQ(DateFromFileTime(~0ull), (CalendarDate{28, 5, 60056}));
    EXPECT_EQ(FormatIsoTime(~0ull), "60056-05-28T05:36:10Z");
}

// Every day from 1601 to 2100, at its first and its last second, is that day, across
// every month end and the leap-year rules of 1700, 1800, 1900 and 2000.
TEST(EntryDate, FirstAndLastSecondOfEveryDayTo2100GiveThatDay) {
    using namespace std::chrono;
    for (sys_days day = sys_days(year(1601) / January / 1);
         day <= sys_days(year(2100) / December / 31); day += days(1)) {
        const year_month_day expected(day);
        const CalendarDate want{static_cast<int>(unsigned(expected.day())),
                                static_cast<int>(unsigned(expected.month())), int(expected.year())};
        ASSERT_EQ(DateFromFileTime(FileTimeOf(expected, 0)), want);
        ASSERT_EQ(DateFromFileTime(FileTimeOf(expected, kSecondsPerDay - 1)), want);
    }
}

TEST(EntryName, CutOnACharacterBoundaryAt255Bytes) {
    CatalogueEntry entry;
    const std::string euro = "\xE2\x82\xAC";      // 3 bytes
    const std::string grin = "\xF0\x9F\x98\x80";  // 4 bytes

    entry.SetName(std::string(254, 'a') + euro);  // bytes 254-256 straddle the limit
    EXPECT_EQ(entry.Name(), std::string(254, 'a'));

    entry.SetName(std::string(253, 'b') + grin);  // bytes 253-256
    EXPECT_EQ(entry.Name(), std::string(253, 'b'));

    entry.SetName(std::string(252, 'c') + grin + "d");  // the character ends at byte 255
    EXPECT_EQ(entry.Name(), std::string(252, 'c'));

    entry.SetName(std::string(251, 'e') + grin + "fg");  // fits exactly in 255 bytes
    EXPECT_EQ(entry.Name(), std::string(251, 'e') + grin);
    EXPECT_EQ(entry.name[255], '\0');
}

TEST(EntryName, ShortNamesKeptWholeAndNoStaleBytesRemain) {
    CatalogueEntry entry;
    entry.SetName(std::string(300, 'x'));
    EXPECT_EQ(entry.Name().size(), 255u);
    entry.SetName("r\xC3\xA9sum\xC3\xA9.txt");
    EXPECT_EQ(entry.Name(), "r\xC3\xA9sum\xC3\xA9.txt");
    for (std::size_t i = entry.Name().size(); i < kEntryNameBytes; ++i) {
        ASSERT_EQ(entry.name[i], '\0') << i;
    }
    entry.SetName(std::string_view("ab\0cd", 5));
    EXPECT_EQ(entry.Name(), "ab");
    // Continuation bytes without a lead byte: no character to keep whole, no further loss.
    EXPECT_EQ(TruncateUtf8(std::string(300, '\x80'), 255).size(), 255u);
}

}  // namespace
}  // namespace tarvik
