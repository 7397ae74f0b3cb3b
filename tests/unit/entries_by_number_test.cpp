#include <gtest/gtest.h>

#include <vector>

#include "analysis/entries_by_number.h"

namespace tarvik {
namespace {

CatalogueEntry File(std::uint32_t number) {
    CatalogueEntry e;
    e.SetName("f");
    e.attribute = kAttributeFile;
    e.number = number;
    e.parent = kRootFolderNumber;
    return e;
}

// The entries the check weighs, by number, in stored order: made-up folders and carved
// files are left out even where they share a record's number.
TEST(EntriesByNumber, FindsTheFoundEntriesOfANumberInStoredOrder) {
    Catalogue catalogue;
    catalogue.Append(File(40));                          // 0
    catalogue.Append(MadeUpFolderEntry("Lost", 40, 5));  // 1
    catalogue.Append(File(70));                          // 2
    catalogue.Append(File(40));                          // 3: a hard link
    CatalogueEntry carved = File(90);
    carved.carved = kCarvedWhole;
    catalogue.Append(carved);          // 4
    catalogue.Append(File(1u << 30));  // 5: found outside the MFT
    const EntriesByNumber entries(catalogue);

    std::vector<std::uint32_t> forty;
    entries.Visit(40, [&](std::uint32_t index) { forty.push_back(index); });
    EXPECT_EQ(forty, (std::vector<std::uint32_t>{0, 3}));
    EXPECT_TRUE(entries.Any(70));
    EXPECT_FALSE(entries.Any(90));
    EXPECT_FALSE(entries.Any(41));
    using Pair = std::pair<std::uint32_t, std::uint32_t>;
    EXPECT_EQ(entries.From(50), (std::vector<Pair>{{70, 2}, {1u << 30, 5}}));
}

}  // namespace
}  // namespace tarvik
