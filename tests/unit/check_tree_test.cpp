#include <gtest/gtest.h>

#include <string>

#include "session/check_tree.h"

namespace tarvik {
namespace {

// Root
//   Docs (40)
//     Old (41): a.txt (10 bytes), b.txt (20)
//     c.txt (30)
//     c.txt (35)  -- a second file of the same name
//   d.txt (50)
//   Empty (42)
// and x.txt under folder 99, which no scan found.
class CheckTreeTest : public ::testing::Test {
  protected:
    CheckTreeTest() {
        Add("Docs", 40, kRootFolderNumber, true);
        Add("Old", 41, 40, true);
        Add("a.txt", 100, 41, false, 10);
        Add("b.txt", 101, 41, false, 20);
        Add("c.txt", 102, 40, false, 30);
        Add("c.txt", 103, 40, false, 35);
        Add("d.txt", 104, kRootFolderNumber, false, 50);
        Add("Empty", 42, kRootFolderNumber, true);
        Add("x.txt", 105, 99, false, 7);
        folders_ = BuildFolderTable(catalogue_);
    }

    void Add(const std::string& name, std::uint32_t number, std::uint32_t parent, bool directory,
             std::uint32_t size = 0) {
        CatalogueEntry entry;
        entry.SetName(name);
        entry.number = number;
        entry.parent = parent;
        entry.size = size;
        entry.attribute = directory ? kAttributeDirectory : kAttributeFile;
        ASSERT_TRUE(catalogue_.Append(entry));
    }

    CheckMark Mark(CheckTree& tree, const std::string& path) {
        const auto position = tree.Find(path);
        EXPECT_TRUE(position) << path;
        return position ? tree.MarkOf(*position) : CheckMark::kUnchecked;
    }

    void Set(CheckTree& tree, const std::string& path, bool checked) {
        const auto position = tree.Find(path);
        ASSERT_TRUE(position) << path;
        tree.SetChecked(*position, checked);
    }

    Catalogue catalogue_;
    FolderTable folders_;
};

TEST_F(CheckTreeTest, FoldersAboveAChangeFollowTheirChildren) {
    CheckTree tree(catalogue_, folders_);
    tree.SetAllChecked(false);
    Set(tree, "Root/Docs/Old/a.txt", true);
    EXPECT_EQ(Mark(tree, "Root/Docs/Old"), CheckMark::kPartly);
    EXPECT_EQ(Mark(tree, "Root/Docs"), CheckMark::kPartly);
    EXPECT_EQ(tree.RootMark(), CheckMark::kPartly);

    Set(tree, "Root/Docs/Old/b.txt", true);
    EXPECT_EQ(Mark(tree, "Root/Docs/Old"), CheckMark::kChecked);
    EXPECT_EQ(Mark(tree, "Root/Docs"), CheckMark::kPartly);

    Set(tree, "Root/Docs/Old/a.txt", false);
    Set(tree, "Root/Docs/Old/b.txt", false);
    EXPECT_EQ(Mark(tree, "Root/Docs/Old"), CheckMark::kUnchecked);
    EXPECT_EQ(Mark(tree, "Root/Docs"), CheckMark::kUnchecked);
    EXPECT_EQ(tree.RootMark(), CheckMark::kUnchecked);
}

TEST_F(CheckTreeTest, AFolderTakesItsWholeSubtreeAndTheTotalsCountOnlyCheckedEntries) {
    CheckTree tree(catalogue_, folders_);
    tree.SetAllChecked(false);
    Set(tree, "Root/Docs", true);
    for (const char* path : {"Root/Docs/Old", "Root/Docs/Old/a.txt", "Root/Docs/Old/b.txt"})
        EXPECT_EQ(Mark(tree, path), CheckMark::kChecked) << path;
    EXPECT_EQ(Mark(tree, "Root/d.txt"), CheckMark::kUnchecked);
    EXPECT_EQ(tree.RootMark(), CheckMark::kPartly);
    const SelectionTotals totals = tree.Totals();
    EXPECT_EQ(totals.folders, 2u);
    EXPECT_EQ(totals.files, 4u);
    EXPECT_EQ(totals.bytes, 10u + 20 + 30 + 35);

    // Unchecking one file inside leaves both folders above it partly checked.
    Set(tree, "Root/Docs/Old/b.txt", false);
    EXPECT_EQ(Mark(tree, "Root/Docs/Old"), CheckMark::kPartly);
    EXPECT_EQ(Mark(tree, "Root/Docs"), CheckMark::kPartly);
    EXPECT_EQ(tree.Totals().folders, 0u);

    tree.SetAllChecked(true);
    EXPECT_EQ(tree.RootMark(), CheckMark::kChecked);
    EXPECT_EQ(tree.Totals().files, 6u);
}

TEST_F(CheckTreeTest, TreePathsSelectEveryEntryOfThatPathAndReportTheFirstUnknownOne) {
    CheckTree tree(catalogue_, folders_);
    EXPECT_EQ(tree.SelectPaths({"Root/Docs/c.txt", "Root/Empty/"}), std::nullopt);
    EXPECT_EQ(+catalogue_.At(4).checkState, kCheckChecked);  // both files named c.txt
    EXPECT_EQ(+catalogue_.At(5).checkState, kCheckChecked);
    EXPECT_EQ(Mark(tree, "Root/Empty"), CheckMark::kChecked);
    EXPECT_EQ(Mark(tree, "Root/Docs"), CheckMark::kPartly);
    EXPECT_EQ(Mark(tree, "Root/Docs/Old/a.txt"), CheckMark::kUnchecked);

    // A new selection starts from nothing; an entry no folder holds is reachable too.
    EXPECT_EQ(tree.SelectPaths({"?/x.txt", "Root/nothing", "Root/d.txt"}), "Root/nothing");
    EXPECT_EQ(Mark(tree, "?/x.txt"), CheckMark::kChecked);
    EXPECT_EQ(Mark(tree, "Root/Docs/c.txt"), CheckMark::kUnchecked);
    EXPECT_EQ(Mark(tree, "Root/d.txt"), CheckMark::kUnchecked);

    EXPECT_EQ(tree.SelectPaths({"Root"}), std::nullopt);
    EXPECT_EQ(tree.RootMark(), CheckMark::kChecked);
    EXPECT_EQ(tree.Totals().files, 6u);
}

}  // namespace
}  // namespace tarvik
