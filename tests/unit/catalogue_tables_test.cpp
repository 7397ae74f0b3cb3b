#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/check_marks.h"
#include "catalogue/directory_id_list.h"
#include "catalogue/folder_table.h"

namespace tarvik {
namespace {

using Indexes = std::vector<std::size_t>;

CatalogueEntry Entry(const std::string& name, std::uint32_t number, std::uint32_t parent,
                     bool directory, std::uint32_t size = 0) {
    CatalogueEntry entry;
    entry.SetName(name);
    entry.number = number;
    entry.parent = parent;
    entry.attribute = directory ? kAttributeDirectory : kAttributeFile;
    entry.size = size;
    return entry;
}

// Two entries share number 40 (a record reached twice); children of 40 interleave with
// other entries; a made-up folder shares number 7 with a real one.
Catalogue DuplicateNumbers() {
    Catalogue catalogue;
    catalogue.Append(Entry("docs", 40, 5, true));     // 0
    catalogue.Append(Entry("a.txt", 41, 40, false));  // 1
    catalogue.Append(Entry("other", 7, 5, true));     // 2
    catalogue.Append(Entry("docs", 40, 5, true));     // 3
    catalogue.Append(Entry("sub", 42, 40, true));     // 4
    catalogue.Append(Entry("b.txt", 43, 7, false));   // 5
    catalogue.Append(Entry("c.txt", 44, 40, false));  // 6
    CatalogueEntry madeUp = Entry("Folder 0000", 7, 99, true);
    madeUp.madeUp = madeUp.madeUpSecond = 1;
    catalogue.Append(madeUp);  // 7
    return catalogue;
}

TEST(Catalogue, LookupsAnswerInStoredOrderFirstMatchFirst) {
    const Catalogue catalogue = DuplicateNumbers();
    EXPECT_EQ(catalogue.FirstWithNumber(40), 0u);
    EXPECT_EQ(catalogue.FirstWithNumber(7), 2u);
    EXPECT_EQ(catalogue.FirstWithNumber(1234), std::nullopt);
    EXPECT_EQ(catalogue.WithNumber(40).ToVector(), (Indexes{0, 3}));
    EXPECT_EQ(catalogue.WithNumber(7).back(), 7u);

    EXPECT_EQ(catalogue.ChildrenOf(40).ToVector(), (Indexes{1, 4, 6}));
    EXPECT_EQ(catalogue.ChildrenOf(5).ToVector(), (Indexes{0, 2, 3}));
    EXPECT_EQ(catalogue.ChildrenOf(7).size(), 1u);
    EXPECT_TRUE(catalogue.ChildrenOf(41).empty());
    EXPECT_TRUE(catalogue.At(7).IsMadeUp());
}

TEST(Catalogue, ARangeTakenBeforeAnAppendDoesNotGrow) {
    Catalogue catalogue = DuplicateNumbers();
    const IndexRange before = catalogue.ChildrenOf(40);
    catalogue.Append(Entry("d.txt", 45, 40, false));
    EXPECT_EQ(before.ToVector(), (Indexes{1, 4, 6}));
    EXPECT_EQ(catalogue.ChildrenOf(40).ToVector(), (Indexes{1, 4, 6, 8}));
}

TEST(Catalogue, AFullCatalogueRefusesAndWritesNothing) {
    Catalogue catalogue(2);
    EXPECT_TRUE(catalogue.Append(Entry("a", 10, 5, false)));
    EXPECT_TRUE(catalogue.Append(Entry("b", 11, 5, false)));
    EXPECT_FALSE(catalogue.Append(Entry("c", 12, 5, false)));
    EXPECT_FALSE(catalogue.Append(Entry("d", 13, 5, false)));
    EXPECT_EQ(catalogue.Count(), 2u);
    EXPECT_EQ(catalogue.RefusedCount(), 2u);
    EXPECT_EQ(catalogue.FirstWithNumber(12), std::nullopt);
    EXPECT_EQ(catalogue.ChildrenOf(5).size(), 2u);

    catalogue.SetCapacity(0);  // never below the count
    EXPECT_EQ(catalogue.Capacity(), 2u);
    catalogue.SetCapacity(3);
    EXPECT_TRUE(catalogue.Append(Entry("c", 12, 5, false)));
    EXPECT_EQ(catalogue.FirstWithNumber(12), 2u);

    catalogue.Clear();
    EXPECT_EQ(catalogue.Count(), 0u);
    EXPECT_EQ(catalogue.RefusedCount(), 0u);
    EXPECT_TRUE(catalogue.ChildrenOf(5).empty());
}

TEST(CheckMarks, AreKeptByIndexAndIgnoreIndexesPastTheEnd) {
    CheckMarks marks(4);
    marks.Set(3, CheckMark::kPartly);
    marks.Set(4, CheckMark::kChecked);
    EXPECT_EQ(marks.Of(3), CheckMark::kPartly);
    EXPECT_EQ(marks.Of(0), CheckMark::kUnchecked);
    EXPECT_EQ(marks.Of(4), CheckMark::kUnchecked);
    marks.SetAll(CheckMark::kChecked);
    for (std::size_t i = 0; i < marks.Count(); ++i) ASSERT_TRUE(marks.IsChecked(i));
}

TEST(FolderTable, HoldsTheFoldersInCatalogueOrderAndTheTotals) {
    Catalogue catalogue = DuplicateNumbers();
    catalogue.Append(Entry("big.bin", 50, 42, false, 0xFFFFFFFFu));
    catalogue.Append(Entry("small.bin", 51, 42, false, 2));

    NullProgressSink progress;
    const FolderTable table = BuildFolderTable(catalogue, &progress);
    const std::vector<std::uint32_t> folders(table.CatalogueIndexes().begin(),
                                             table.CatalogueIndexes().end());
    EXPECT_EQ(folders, (std::vector<std::uint32_t>{0, 2, 3, 4, 7}));
    EXPECT_EQ(table.DirectoryCount(), 5u);
    EXPECT_EQ(table.TotalSize(), 0x100000001ull);  // does not wrap at 32 bits
    EXPECT_EQ(table.FoldersWithParent(5).ToVector(), (Indexes{0, 2, 3}));
    EXPECT_EQ(table.FoldersWithParent(40).ToVector(), (Indexes{4}));

    EXPECT_TRUE(BuildFolderTable(Catalogue()).Empty());
}

TEST(DirectoryIdList, KeepsTheOrderFoundAndAnswersMembership) {
    DirectoryIdList list;
    list.Append(40);
    list.Append(7);
    list.Append(40);
    EXPECT_TRUE(list.Contains(7));
    EXPECT_TRUE(list.Contains(40));
    EXPECT_FALSE(list.Contains(5));
    EXPECT_EQ(std::vector<std::uint32_t>(list.Numbers().begin(), list.Numbers().end()),
              (std::vector<std::uint32_t>{40, 7, 40}));
    list.Clear();
    EXPECT_FALSE(list.Contains(40));
    EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
}  // namespace tarvik
