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

TEST(EntryDate, UsesTheHighHalfOfTheCreationTime) {
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(0)), "01-01-1601");
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(0xFFFFFFFFu)), "01-01-1601");
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(201ull << 32)), "01-01-1601");
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(202ull << 32)), "02-01-1601");

    using namespace std::chrono;
    const std::uint64_t noon = 12 * 3600;
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(FileTimeOf(year(2000) / February / 29, noon))),
              "29-02-2000");
    EXPECT_EQ(FormatEntryDate(EntryCreatedAt(FileTimeOf(year(2002) / December / 25, noon))),
              "25-12-2002");
    EXPECT_GT(DateFromFileTime(~0ull).year, 60000);  // the largest time still has a date
}

// The date runs a little early, never late, and by less than a day: late in the
// evening of every day from 1601 to 2100 the date is that day, across every month
// end and the leap-year rules of 1700, 1800, 1900 and 2000.
TEST(EntryDate, LateEveningOfEveryDayTo2100GivesThatDay) {
    using namespace std::chrono;
    const std::uint64_t lateEvening = 23 * 3600;
    for (sys_days day = sys_days(year(1601) / January / 1);
         day <= sys_days(year(2100) / December / 31); day += days(1)) {
        const year_month_day expected(day);
        const CalendarDate date = DateFromFileTime(FileTimeOf(expected, lateEvening));
        ASSERT_EQ(date, (CalendarDate{static_cast<int>(unsigned(expected.day())),
                                      static_cast<int>(unsigned(expected.month())),
                                      int(expected.year())}))
            << FormatDate(date);
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
