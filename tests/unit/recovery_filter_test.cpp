#include <gtest/gtest.h>

#include <string>

#include "recovery/file_filter.h"

namespace tarvik {
namespace {

TEST(NormalizePattern, WildcardPartsBecomeQuestionMarksAndTheRestCapitals) {
    EXPECT_EQ(NormalizePattern("*.txt"), std::string(128, '?') + ".TXT");
    EXPECT_EQ(NormalizePattern("*"), std::string(128, '?'));
    EXPECT_EQ(NormalizePattern("report.doc"), "REPORT.DOC");
    EXPECT_EQ(NormalizePattern("a*b.t*"), "A*B.T*");  // only a leading '*' is special
    EXPECT_EQ(NormalizePattern("a.b.*"), "A.B." + std::string(128, '?'));
    EXPECT_EQ(NormalizePattern(".txt"), ".TXT");
    EXPECT_EQ(NormalizePattern("Ünï.doc"), "\xC3\x9CN\xC3\xAF.DOC");  // a-z only
}

TEST(MatchPattern, ExamplesOfTheMatchingRules) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"report.doc", "report.doc", true},
        {"reports.docx", "report.doc", true},
        {"a.txt.bak", "*.txt", true},
        {"readme", "*.*", false},
        {"readme.md", "*.*", true},
        {"a.b.txt", "a.b.txt", false},
        {"abcdef.txt", "abc", true},
        {"ABC.TXT", "abc", true},
        {"xabc.txt", "abc", false},
        {"ab.txt", "????.txt", true},
        {"a.tt", "*.t?t", true},
        {"a.txt", "*.t?t", false},
        {"anything", "*", true},
        {"", "*", true},
        {"a.DOC", "*.doc", true},
        {"a.txt", "*.doc", false},
        {"notes", "*.txt", false},
        {"ab", "abc", false},
        {"x", "", false},
        {"report.doc", "report.", true},
        {"report", "report.", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
}

TEST(FilterPasses, ModeDecidesForTheWholeList) {
    EXPECT_TRUE(FilterPasses("anything.bin", nullptr));
    FileFilter filter;
    ASSERT_TRUE(filter.AddPattern("*.doc"));
    ASSERT_TRUE(filter.AddPattern("*.txt"));
    EXPECT_TRUE(FilterPasses("Letter.DOC", &filter));
    EXPECT_TRUE(FilterPasses("notes.txt.old", &filter));
    EXPECT_FALSE(FilterPasses("photo.jpg", &filter));
    EXPECT_FALSE(FilterPasses("README", &filter));
    filter.SetMode(FilterMode::kExclude);
    EXPECT_FALSE(FilterPasses("Letter.DOC", &filter));
    EXPECT_FALSE(FilterPasses("notes.txt", &filter));
    EXPECT_TRUE(FilterPasses("photo.jpg", &filter));
    EXPECT_TRUE(FilterPasses("README", &filter));
}

TEST(FileFilter, AddTakeBackAndLimits) {
    FileFilter filter;
    EXPECT_EQ(filter.mode(), FilterMode::kInclude);
    EXPECT_FALSE(filter.AddPattern(""));
    EXPECT_FALSE(filter.AddPattern(std::string(128, 'a')));
    EXPECT_TRUE(filter.AddPattern(std::string(127, 'a')));
    for (int i = 1; i < 32; ++i) ASSERT_TRUE(filter.AddPattern("p" + std::to_string(i)));
    EXPECT_FALSE(filter.AddPattern("one too many"));
    EXPECT_EQ(filter.count(), 32u);
    EXPECT_EQ(filter.Pattern(31), "p31");

    // Three confirmed, two added, both taken back: the three remain.
    FileFilter list;
    for (const char* p : {"*.a", "*.b", "*.c", "*.d", "*.e"}) list.AddPattern(p);
    EXPECT_TRUE(list.TakeBackLast());
    EXPECT_TRUE(list.TakeBackLast());
    EXPECT_EQ(list.count(), 3u);
    EXPECT_FALSE(FilterPasses("x.d", &list));
    EXPECT_TRUE(FilterPasses("x.c", &list));

    // A list started over writes from slot 0; later slots are not read any more.
    EXPECT_TRUE(list.PutPattern(0, "*.z"));
    EXPECT_EQ(list.count(), 1u);
    EXPECT_FALSE(FilterPasses("x.a", &list));
    EXPECT_FALSE(list.PutPattern(2, "*.y"));

    // Every pattern taken back: the filter lets every name through.
    EXPECT_TRUE(list.TakeBackLast());
    EXPECT_FALSE(list.TakeBackLast());
    EXPECT_TRUE(FilterPasses("x.a", &list));
}

// The status bar's words for the filter: its mode and every pattern, nothing without one.
TEST(FileFilterSummary, NamesTheModeAndEveryPattern) {
    EXPECT_EQ(FileFilterSummary(nullptr), "");
    FileFilter filter;
    EXPECT_EQ(FileFilterSummary(&filter), "");
    ASSERT_TRUE(filter.AddPattern("*.jpg"));
    ASSERT_TRUE(filter.AddPattern("report?.doc"));
    EXPECT_EQ(FileFilterSummary(&filter), "Only *.jpg; report?.doc");
    filter.SetMode(FilterMode::kExclude);
    ASSERT_TRUE(filter.TakeBackLast());
    EXPECT_EQ(FileFilterSummary(&filter), "All but *.jpg");
}

}  // namespace
}  // namespace tarvik
