#include <gtest/gtest.h>

#include "session/find_entry.h"

namespace tarvik {
namespace {

TEST(FindEntryTest, WholeNamesMatchIgnoringCaseUnlessAskedAndOnlyAmongTheChosenKinds) {
    EXPECT_TRUE(NameMatches("README.TXT", "readme.txt", false));
    EXPECT_FALSE(NameMatches("README.TXT", "readme.txt", true));
    EXPECT_FALSE(NameMatches("README.TXT", "readme", false));
    EXPECT_FALSE(NameMatches("readme", "README.TXT", false));
    EXPECT_TRUE(NameMatches("RÉSUMÉ.doc", "résumé.DOC", false));
    EXPECT_TRUE(NameMatches("ĄĆ Straße", "ąć straße", false));
    EXPECT_TRUE(NameMatches("ПРИВЕТ", "привет", false));
    EXPECT_FALSE(NameMatches("é", "e", false));
    EXPECT_TRUE(NameMatches("\xFF\xC3", "\xFF\xC3", false));  // not UTF-8: byte for byte

    Catalogue catalogue;
    for (const auto& [name, deleted] :
         {std::pair{"a.txt", 0u}, {"README.TXT", 1u}, {"readme.txt", 0u}, {"ReadMe.txt", 1u}}) {
        CatalogueEntry entry;
        entry.SetName(name);
        entry.deleted = deleted;
        ASSERT_TRUE(catalogue.Append(entry));
    }
    const FindOptions all;
    EXPECT_EQ(FindEntry(catalogue, "readme.txt", all, 0), 1u);
    EXPECT_EQ(FindEntry(catalogue, "readme.txt", all, 2), 2u);
    EXPECT_EQ(FindEntry(catalogue, "readme.txt", all, 4), std::nullopt);
    EXPECT_EQ(FindEntry(catalogue, "readme.txt", {true, true, true}, 0), 2u);
    EXPECT_EQ(FindEntry(catalogue, "readme.txt", {false, false, true}, 0), 2u);
    EXPECT_EQ(FindEntry(catalogue, "readme.txt", {false, true, false}, 2), 3u);
    EXPECT_EQ(FindEntry(catalogue, "a.txt", {false, false, false}, 0), std::nullopt);
    EXPECT_EQ(FindEntry(Catalogue(), "a.txt", all, 0), std::nullopt);
}

}  // namespace
}  // namespace tarvik
