#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
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

// Times written straight into a listing line, to the second and to the tick, against
// the calendar of the standard library: zero padding of every field, the fraction's
// leading zeros, and the years of five digits at the top of the range.
TEST(EntryDate, TimesAppendedToALineMatchTheCalendar) {
    using namespace std::chrono;
    std::uint64_t fileTime = 1;
    for (int k = 0; k < 20'000; ++k) {
        fileTime = fileTime * 6'364'136'223'846'793'005ull + 1'442'695'040'888'963'407ull;
        // Up to the year 9999 through the standard calendar; above it, only the length.
        const std::uint64_t t = k % 2 == 0 ? fileTime % 2'650'467'743'999'999'999ull : fileTime;
        std::string line = "x";
        AppendIsoTime(line, t);
        line += '|';
        AppendIsoTimeToTicks(line, t);
        if (t >= 2'650'467'744'000'000'000ull) {
            ASSERT_EQ(line.size(), 1 + 21 + 1 + 29) << line;
            continue;
        }
        const auto days = static_cast<int>(t / kTicksPerSecond / kSecondsPerDay);
        const year_month_day date(sys_days(year(1601) / January / 1) + std::chrono::days(days));
        const std::uint64_t second = t / kTicksPerSecond % kSecondsPerDay;
        char seconds[64];
        std::snprintf(seconds, sizeof seconds, "%04d-%02u-%02uT%02u:%02u:%02u", int(date.year()),
                      unsigned(date.month()), unsigned(date.day()), unsigned(second / 3600),
                      unsigned(second / 60 % 60), unsigned(second % 60));
        char ticks[16];
        std::snprintf(ticks, sizeof ticks, "%07u", unsigned(t % kTicksPerSecond));
        ASSERT_EQ(line, std::string("x") + seconds + "Z|" + seconds + "." + ticks + "Z");
    }
}

// One writer kept over a run of times, as a listing keeps it: the date it remembers is
// used only on its own day, across midnight, across a five-digit year and back, and for
// times at random, each spelt as the appends spell it.
TEST(EntryDate, AWriterRememberingItsLastDaySpellsTimesAsTheAppendsDo) {
    using namespace std::chrono;
    const std::uint64_t midnight = FileTimeOf(year(2026) / December / 8, 0);
    std::vector<std::uint64_t> times = {
        midnight - 1, midnight, midnight + 1, midnight - 1, ~0ull, midnight + 36'000'000'123ull, 0,
        ~0ull - 1};
    std::uint64_t t = 7;
    for (int k = 0; k < 2'000; ++k) {
        t = t * 6'364'136'223'846'793'005ull + 1'442'695'040'888'963'407ull;
        times.push_back(k % 3 == 0 ? t : midnight + t % (3 * kSecondsPerDay * kTicksPerSecond));
    }
    IsoTimeWriter writer;
    for (const std::uint64_t time : times) {
        std::string expected;
        AppendIsoTime(expected, time);
        expected += '|';
        AppendIsoTimeToTicks(expected, time);
        char text[2 * IsoTimeWriter::kMaxBytes + 1];
        char* end = writer.PutSeconds(text, time);
        *end++ = '|';
        end = writer.PutTicks(end, time);
        ASSERT_EQ(std::string(text, end), expected) << time;
    }
}

// NTFS names run to 255 UTF-16 units, up to 765 UTF-8 bytes: every one is kept whole,
// through the catalogue too, and only a longer text is cut, never inside a character.
TEST(EntryName, LongNamesKeptWholeAndLongerTextCutOnACharacterBoundary) {
    const std::string grin = "\xF0\x9F\x98\x80";  // 4 bytes
    std::string longest;
    for (int i = 0; i < 255; ++i) longest += "\xE4\xB8\xAD";  // 765 bytes
    CatalogueEntry entry;
    entry.SetName(longest);
    EXPECT_EQ(entry.Name(), longest);

    entry.SetName(std::string(kEntryNameMaxBytes - 2, 'b') + grin);  // straddles the limit
    EXPECT_EQ(entry.Name(), std::string(kEntryNameMaxBytes - 2, 'b'));
    entry.SetName(std::string(kEntryNameMaxBytes - 4, 'e') + grin + "fg");  // fits exactly
    EXPECT_EQ(entry.Name(), std::string(kEntryNameMaxBytes - 4, 'e') + grin);

    entry.SetName(std::string_view("ab\0cd", 5));
    EXPECT_EQ(entry.Name(), "ab");
    // Continuation bytes without a lead byte: no character to keep whole, no further loss.
    EXPECT_EQ(TruncateUtf8(std::string(300, '\x80'), 255).size(), 255u);

    Catalogue catalogue;
    entry.SetName(longest);
    ASSERT_TRUE(catalogue.Append(entry));
    EXPECT_EQ(catalogue.At(0).Name(), longest);
}

// What the scan sets is what a reader gets back, whatever the packing: 64-bit sizes and
// times, every number, flag and attribute byte, and the name; and a name read before
// many more appends still reads the same after them.
TEST(EntryName, CatalogueGivesBackEveryFieldAndNamesStayPut) {
    Catalogue catalogue;
    CatalogueEntry first;
    first.SetName("r\xC3\xA9sum\xC3\xA9.txt");
    first.attribute = kAttributeFile;
    first.creationTime = 0x01D9'1234'5678'9ABCull;
    first.modificationTime = 0x01DA'8765'4321'0FEDull;
    first.size = 0x12'3456'789Aull;  // past 32 bits
    first.parent = 0xFFFFFFFEu;
    first.number = 0x8000'0001u;
    first.deleted = 1;
    first.compressed = 1;
    ASSERT_TRUE(catalogue.Append(first));
    CatalogueEntry made;
    made.attribute = kAttributeDirectory;
    made.madeUp = made.madeUpSecond = 1;
    ASSERT_TRUE(catalogue.Append(made));  // no name at all

    const CatalogueEntry& back = catalogue.At(0);
    const std::string_view name = back.Name();
    for (int i = 0; i < 200000; ++i) {
        CatalogueEntry more;
        more.SetName("file" + std::to_string(i) + ".dat");
        more.number = static_cast<std::uint32_t>(100 + i);
        ASSERT_TRUE(catalogue.Append(more));
    }
    EXPECT_EQ(name, "r\xC3\xA9sum\xC3\xA9.txt");
    EXPECT_EQ(back.size, first.size);
    EXPECT_EQ(back.creationTime, first.creationTime);
    EXPECT_EQ(back.modificationTime, first.modificationTime);
    EXPECT_EQ(back.parent, first.parent);
    EXPECT_EQ(back.number, first.number);
    EXPECT_EQ(back.attribute, kAttributeFile);
    EXPECT_TRUE(back.IsDeleted());
    EXPECT_EQ(back.compressed, 1u);
    EXPECT_EQ(back.madeUp, 0u);

    const CatalogueEntry folder = catalogue.At(1);
    EXPECT_TRUE(folder.IsDirectory());
    EXPECT_TRUE(folder.IsMadeUp());
    EXPECT_EQ(folder.madeUpSecond, 1u);
    EXPECT_FALSE(folder.IsDeleted());
    EXPECT_EQ(folder.Name(), "");
    EXPECT_EQ(catalogue.At(199'999 + 2).Name(), "file199999.dat");
    EXPECT_EQ(catalogue.NameAt(2), "file0.dat");
    EXPECT_EQ(catalogue.NumberAt(3), 101u);
    // Entries, names and indexes: far below the fixed record of old.
    EXPECT_LT(catalogue.MemoryBytes() / catalogue.Count(), 120u);
}

}  // namespace
}  // namespace tarvik
