#include <gtest/gtest.h>

#include <random>
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

    // Select All: every entry, as the recovery writes them; x.txt, which no folder holds,
    // is written into Unplaced and counted too, so Select All comes to the drive's total.
    tree.SetAllChecked(true);
    EXPECT_EQ(tree.RootMark(), CheckMark::kChecked);
    EXPECT_EQ(tree.Totals().files, 6u);
    EXPECT_EQ(tree.Totals().folders, 3u);
    EXPECT_EQ(tree.Totals().bytes, 10u + 20 + 30 + 35 + 50 + 7);
    tree.SetAllChecked(false);
    Set(tree, "Root/d.txt", true);
    EXPECT_EQ(tree.SelectPaths({"?/x.txt"}), std::nullopt);
    EXPECT_EQ(tree.Totals().files, 1u);
    EXPECT_EQ(tree.Totals().bytes, 7u);
}

TEST_F(CheckTreeTest, TreePathsSelectEveryEntryOfThatPathAndReportTheFirstUnknownOne) {
    CheckTree tree(catalogue_, folders_);
    EXPECT_EQ(tree.SelectPaths({"Root/Docs/c.txt", "Root/Empty/"}), std::nullopt);
    EXPECT_TRUE(tree.Marks().IsChecked(4));  // both files named c.txt
    EXPECT_TRUE(tree.Marks().IsChecked(5));
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

std::string NameOf(const Catalogue& catalogue, const CheckTree& tree, CheckTree::FolderNode node) {
    return std::string(
        catalogue.At(tree.Placed()[*tree.FolderPosition(node)].catalogueIndex).Name());
}

TEST_F(CheckTreeTest, FolderNodesListSubFoldersByNameAndRowsInCatalogueOrder) {
    Add("apple", 43, kRootFolderNumber, true);  // sorts before "Docs" and "Empty"
    folders_ = BuildFolderTable(catalogue_);
    CheckTree tree(catalogue_, folders_);
    ASSERT_EQ(tree.FolderNodeCount(), 5u);  // Root, Docs, Old, Empty, apple
    std::vector<std::string> names;
    for (const auto node : tree.SubFolders(CheckTree::kRootNode)) {
        names.push_back(NameOf(catalogue_, tree, node));
        EXPECT_EQ(tree.ParentFolder(node), CheckTree::kRootNode);
        EXPECT_EQ(tree.SubFolders(CheckTree::kRootNode)[tree.IndexInParent(node)], node);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"apple", "Docs", "Empty"}));

    // Root's rows: every entry whose parent is 5, in catalogue order, files and folders.
    std::vector<std::string> rows;
    for (const std::size_t p : tree.Rows(CheckTree::kRootNode))
        rows.emplace_back(catalogue_.At(tree.Placed()[p].catalogueIndex).Name());
    EXPECT_EQ(rows, (std::vector<std::string>{"Docs", "d.txt", "Empty", "apple"}));

    const auto docs = tree.LastNodeWithNumber(40);
    ASSERT_TRUE(docs);
    EXPECT_EQ(tree.Rows(*docs).size(), 3u);  // Old and both c.txt
    EXPECT_EQ(tree.FolderNumber(*docs), 40u);
    EXPECT_EQ(tree.HolderOf(tree.PositionOfIndex(4)), docs);  // the first c.txt
    EXPECT_EQ(tree.NodeAt(tree.PositionOfIndex(0)), docs);
    EXPECT_EQ(tree.NodeAt(tree.PositionOfIndex(4)), std::nullopt);  // a file
    EXPECT_EQ(tree.LastNodeWithNumber(kRootFolderNumber), CheckTree::kRootNode);
    EXPECT_EQ(tree.LastNodeWithNumber(99), std::nullopt);             // never found
    EXPECT_EQ(tree.HolderOf(tree.PositionOfIndex(8)), std::nullopt);  // x.txt
}

TEST_F(CheckTreeTest, TogglesUncheckWhatIsPartlyCheckedAndRootStaysGreyWhileAnythingIsChecked) {
    CheckTree tree(catalogue_, folders_);
    const auto docs = *tree.LastNodeWithNumber(40);
    tree.ToggleEntry(tree.PositionOfIndex(2));  // a.txt
    EXPECT_EQ(tree.FolderMark(docs), CheckMark::kPartly);
    EXPECT_TRUE(tree.AnyChecked());

    tree.ToggleFolder(docs);  // partly -> unchecked, with everything below
    EXPECT_EQ(tree.FolderMark(docs), CheckMark::kUnchecked);
    EXPECT_EQ(Mark(tree, "Root/Docs/Old/a.txt"), CheckMark::kUnchecked);
    EXPECT_FALSE(tree.AnyChecked());
    EXPECT_EQ(tree.RootMark(), CheckMark::kUnchecked);

    // Checking Empty, then Docs, leaves Root grey while d.txt is unchecked.
    tree.ToggleFolder(*tree.LastNodeWithNumber(42));
    tree.ToggleFolder(docs);
    EXPECT_EQ(tree.RootMark(), CheckMark::kPartly);
    tree.ToggleEntry(tree.PositionOfIndex(6));  // d.txt: now all of Root's contents
    EXPECT_EQ(tree.RootMark(), CheckMark::kChecked);
    // Unchecking the last checked sub-folder leaves Root grey: d.txt is still checked.
    tree.ToggleFolder(docs);
    tree.ToggleFolder(*tree.LastNodeWithNumber(42));
    EXPECT_EQ(tree.RootMark(), CheckMark::kPartly);
    // A click on Root's partly checked box unchecks everything.
    tree.ToggleFolder(CheckTree::kRootNode);
    EXPECT_FALSE(tree.AnyChecked());
    EXPECT_EQ(Mark(tree, "Root/d.txt"), CheckMark::kUnchecked);
}

// Random catalogues with shared numbers, loops and unreachable folders, random clicks on
// folders and entries: every folder's mark always follows its rows, and the totals are
// the checked entries, those no folder holds included (a recovery writes them too).
TEST(CheckTreeRandomTest, MarksFollowTheRowsAndTotalsCountEveryCheckedEntry) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 40; ++round) {
        Catalogue catalogue;
        const int count = 20 + static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) {
            CatalogueEntry entry;
            entry.SetName(std::string(1, static_cast<char>('a' + random() % 5)));
            entry.number = 16 + static_cast<std::uint32_t>(random() % 30);
            entry.parent = random() % 4 == 0 ? kRootFolderNumber
                                             : 16 + static_cast<std::uint32_t>(random() % 32);
            entry.attribute = random() % 3 == 0 ? kAttributeDirectory : kAttributeFile;
            entry.size =
                entry.attribute == kAttributeFile ? static_cast<std::uint32_t>(random() % 1000) : 0;
            ASSERT_TRUE(catalogue.Append(entry));
        }
        const FolderTable folders = BuildFolderTable(catalogue);
        CheckTree tree(catalogue, folders);
        for (int click = 0; click < 30; ++click) {
            if (random() % 2 == 0)
                tree.ToggleFolder(
                    static_cast<CheckTree::FolderNode>(random() % tree.FolderNodeCount()));
            else
                tree.ToggleEntry(random() % tree.Placed().size());

            SelectionTotals expected;
            for (std::size_t p = 0; p < tree.Placed().size(); ++p) {
                if (tree.MarkOf(p) != CheckMark::kChecked) continue;
                const CatalogueEntry& entry = catalogue.At(tree.Placed()[p].catalogueIndex);
                (entry.IsDirectory() ? expected.folders : expected.files) += 1;
                expected.bytes += entry.size;
            }
            ASSERT_EQ(tree.Totals().files, expected.files) << round << "/" << click;
            ASSERT_EQ(tree.Totals().folders, expected.folders);
            ASSERT_EQ(tree.Totals().bytes, expected.bytes);
            for (CheckTree::FolderNode node = 0; node < tree.FolderNodeCount(); ++node) {
                const auto rows = tree.Rows(node);
                std::size_t checked = 0;
                std::size_t unchecked = 0;
                for (const std::size_t p : rows) {
                    checked += tree.MarkOf(p) == CheckMark::kChecked;
                    unchecked += tree.MarkOf(p) == CheckMark::kUnchecked;
                }
                if (rows.empty()) continue;  // an empty folder keeps its own mark
                const CheckMark expectedMark = checked == rows.size()     ? CheckMark::kChecked
                                               : unchecked == rows.size() ? CheckMark::kUnchecked
                                                                          : CheckMark::kPartly;
                ASSERT_EQ(tree.FolderMark(node), expectedMark) << round << "/" << click;
            }
        }
    }
}

}  // namespace
}  // namespace tarvik
