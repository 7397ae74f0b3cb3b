#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/kept_placement.h"
#include "catalogue/shown_path_walk.h"
#include "catalogue/tree_placement.h"
#include "session/check_tree.h"

namespace tarvik {
namespace {

struct Line {
    std::size_t depth;
    std::string path;
    friend bool operator==(const Line&, const Line&) = default;
};
std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << line.depth << ' ' << line.path;
}

class TreePlacement : public ::testing::Test {
  protected:
    void Add(const std::string& name, std::uint32_t number, std::uint32_t parent, bool directory,
             bool madeUp = false, bool deleted = false) {
        CatalogueEntry entry;
        entry.SetName(name);
        entry.number = number;
        entry.parent = parent;
        entry.attribute = directory ? kAttributeDirectory : kAttributeFile;
        entry.madeUp = entry.madeUpSecond = madeUp ? 1 : 0;
        entry.deleted = deleted ? 1 : 0;
        ASSERT_TRUE(catalogue_.Append(entry));
    }

    std::vector<Line> Listing() const {
        std::vector<Line> lines;
        const auto placed = PlaceEntries(catalogue_, BuildFolderTable(catalogue_));
        for (std::size_t p = 0; p < placed.size(); ++p)
            lines.push_back({placed[p].depth, PlacedPath(catalogue_, placed, p)});
        return lines;
    }

    // A saved scan keeps the placement and takes it back checked: the one the entries
    // give is accepted, and a tree over it shows what a tree placing them itself shows.
    void ExpectTheKeptPlacementTakenBack() const {
        const FolderTable folders = BuildFolderTable(catalogue_);
        const std::vector<PlacedEntry> placed = PlaceEntries(catalogue_, folders);
        std::vector<std::uint32_t> positions;
        EXPECT_EQ(PlacementMismatch(catalogue_, placed, positions), std::nullopt);
        const CheckTree built(catalogue_, folders);
        const CheckTree kept(catalogue_, KeptPlacement{nullptr, placed, positions});
        ASSERT_EQ(kept.FolderNodeCount(), built.FolderNodeCount());
        for (CheckTree::FolderNode n = 0; n < built.FolderNodeCount(); ++n) {
            EXPECT_TRUE(std::ranges::equal(kept.SubFolders(n), built.SubFolders(n))) << n;
            EXPECT_TRUE(std::ranges::equal(kept.Rows(n), built.Rows(n))) << n;
            EXPECT_EQ(kept.ParentFolder(n), built.ParentFolder(n)) << n;
        }
        for (std::size_t p = 0; p < placed.size(); ++p) {
            EXPECT_EQ(kept.NodeAt(p), built.NodeAt(p)) << p;
            EXPECT_EQ(kept.HolderOf(p), built.HolderOf(p)) << p;
            EXPECT_EQ(kept.PositionOfIndex(placed[p].catalogueIndex), p);
        }
    }

    Catalogue catalogue_;
};

TEST_F(TreePlacement, FoldersInTableOrderEachWithItsSubtreeThenFiles) {
    Add("top.txt", 30, 5, false);
    Add("B", 20, 5, true);
    Add("A", 10, 5, true);
    Add("a1.txt", 11, 10, false);
    Add("A1", 12, 10, true);
    Add("deep.txt", 13, 12, false);
    Add("either/or", 21, 20, false);
    Add("back\\slash\nline", 22, 20, false);
    Add("gone", 60, 5, true, false, true);
    Add("was here.txt", 61, 60, false, false, true);

    const std::vector<Line> expected = {
        {1, "Root/B"},
        {2, "Root/B/either\\x2For"},
        {2, "Root/B/back\\\\slash\\x0Aline"},
        {1, "Root/A"},
        {2, "Root/A/A1"},
        {3, "Root/A/A1/deep.txt"},
        {2, "Root/A/a1.txt"},
        {1, "Root/gone"},
        {2, "Root/gone/was here.txt"},
        {1, "Root/top.txt"},
    };
    EXPECT_EQ(Listing(), expected);
    ExpectTheKeptPlacementTakenBack();
}

TEST_F(TreePlacement, OrphansUnderTheirMadeUpFolderInsideTheLostFolder) {
    Add("one.txt", 70, 500, false);
    Add("no parent.txt", 71, 0, false);
    Add("two.txt", 72, 500, false);
    Add("three.txt", 73, 500, false);
    Add("Lost Folder 0000", 7, 5, true, true);
    Add("Folder 0000", 500, 7, true, true);

    const std::vector<Line> expected = {
        {1, "Root/Lost Folder 0000"},
        {2, "Root/Lost Folder 0000/Folder 0000"},
        {3, "Root/Lost Folder 0000/Folder 0000/one.txt"},
        {3, "Root/Lost Folder 0000/Folder 0000/two.txt"},
        {3, "Root/Lost Folder 0000/Folder 0000/three.txt"},
        {1, "?/no parent.txt"},
    };
    EXPECT_EQ(Listing(), expected);
    ExpectTheKeptPlacementTakenBack();
}

TEST_F(TreePlacement, LoopingNumbersEndTheWalk) {
    Add("A", 1000, 2000, true);  // A and B are each other's parent, out of the root's reach
    Add("in A.txt", 1001, 1000, false);
    Add("B", 2000, 1000, true);
    Add("self", 77, 77, true);     // its own parent, unreachable
    Add("R", 88, 5, true);         // reachable ...
    Add("R again", 88, 88, true);  // ... and a folder whose number is already on its path
    Add("in R.txt", 89, 88, false);

    const std::vector<Line> expected = {
        {1, "Root/R"}, {2, "Root/R/R again"}, {2, "Root/R/in R.txt"}, {1, "?/A"}, {1, "?/in A.txt"},
        {1, "?/B"},    {1, "?/self"},
    };
    EXPECT_EQ(Listing(), expected);
    ExpectTheKeptPlacementTakenBack();
}

// The lost folder's number can be a real folder's: the folder placed first receives
// everything filed under that number, and the later one stays empty.
TEST_F(TreePlacement, AMadeUpFolderSharingARealFoldersNumberStaysEmpty) {
    Add("docs", 40, 5, true);
    Add("d.txt", 41, 40, false);
    Add("Lost Folder 0000", 40, 5, true, true);
    Add("Folder 0000", 600, 40, true, true);
    Add("o.txt", 601, 600, false);

    const std::vector<Line> expected = {
        {1, "Root/docs"},       {2, "Root/docs/Folder 0000"}, {3, "Root/docs/Folder 0000/o.txt"},
        {2, "Root/docs/d.txt"}, {1, "Root/Lost Folder 0000"},
    };
    EXPECT_EQ(Listing(), expected);
    ExpectTheKeptPlacementTakenBack();
}

TEST_F(TreePlacement, AFolderAddedAfterTheTableWasBuiltIsNotPlaced) {
    Add("kept", 10, 5, true);
    const FolderTable table = BuildFolderTable(catalogue_);
    Add("late", 11, 10, true);
    Add("in late.txt", 12, 11, false);

    const std::vector<PlacedEntry> placed = PlaceEntries(catalogue_, table);
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0], (PlacedEntry{0, 1, kNoFolder, false}));
    EXPECT_EQ(placed[1], (PlacedEntry{1, 1, kNoFolder, true}));
    EXPECT_EQ(placed[2], (PlacedEntry{2, 1, kNoFolder, true}));
    EXPECT_EQ(PlacedPath(catalogue_, placed, 1), "?/late");
    EXPECT_EQ(PlacedPath(catalogue_, placed, 2), "?/in late.txt");
}

// Not a timing test: a placement that walked the folder table per folder, or copied
// the catalogue per level, would take minutes here instead of well under a second.
TEST_F(TreePlacement, TwoHundredThousandEntriesArePlacedOnceEach) {
    constexpr std::uint32_t kChain = 2'000;
    constexpr std::uint32_t kWide = 18'000;
    constexpr std::uint32_t kFiles = 180'000;
    for (std::uint32_t k = 0; k < kChain; ++k) {
        Add("c", 100'000 + k, k == 0 ? 5 : 100'000 + k - 1, true);
    }
    for (std::uint32_t i = kWide; i-- > 0;) {  // children before their parents
        Add("w" + std::to_string(i), 200'000 + i, i == 0 ? 5 : 200'000 + (i - 1) / 8, true);
    }
    for (std::uint32_t j = 0; j < kFiles; ++j) {
        Add("f", 500'000 + j, 200'000 + j % kWide, false);
    }

    const std::vector<PlacedEntry> placed = PlaceEntries(catalogue_, BuildFolderTable(catalogue_));
    ASSERT_EQ(placed.size(), catalogue_.Count());
    std::vector<bool> seen(catalogue_.Count(), false);
    std::size_t deepest = 0;
    for (const PlacedEntry& entry : placed) {
        ASSERT_FALSE(seen[entry.catalogueIndex]);
        seen[entry.catalogueIndex] = true;
        ASSERT_FALSE(entry.unplaced);
        deepest = std::max<std::size_t>(deepest, entry.depth);
    }
    EXPECT_EQ(deepest, kChain);
}

// A chain of 100,000 nested folders: what the placement and the check marks keep grows
// with the chain, not with its square (whole paths would be 5 * 10^9 names), and a path
// at its bottom is still found and checked.
TEST_F(TreePlacement, AChainOfAHundredThousandFoldersKeepsNoWholePaths) {
    constexpr std::uint32_t kChain = 100'000;
    for (std::uint32_t k = 0; k < kChain; ++k)
        Add("d", 100'000 + k, k == 0 ? 5 : 100'000 + k - 1, true);
    Add("bottom.txt", 50, 100'000 + kChain - 1, false);
    const FolderTable table = BuildFolderTable(catalogue_);
    CheckTree tree(catalogue_, table);
    // Each entry holds its folder's position, the one just above it, and no name.
    static_assert(sizeof(PlacedEntry) <= 16);
    for (std::uint32_t p = 1; p < kChain; ++p) ASSERT_EQ(tree.Placed()[p].folder, p - 1);
    const std::size_t bottom = tree.Placed().size() - 1;
    const std::string path = tree.PathOf(bottom);
    EXPECT_EQ(path.size(), 4 + 2 * kChain + 11);
    EXPECT_EQ(tree.Find(path), bottom);
    EXPECT_FALSE(tree.SelectPaths({path}));
    EXPECT_EQ(tree.MarkOf(bottom), CheckMark::kChecked);
    EXPECT_EQ(tree.MarkOf(0), CheckMark::kChecked);  // its only content is checked
}

// The listing builds paths by walking the placement and keeping the folders above: every
// path it gives, in placement order, backwards and jumping about, is the one worked out
// on its own, across escaped names, unplaced entries, siblings after a deep subtree and a
// chain whose paths grow past the shown limit and are shortened.
TEST_F(TreePlacement, TheWalkedPathOfEveryEntryIsItsShownPath) {
    Add("top.txt", 30, 5, false);
    Add("A", 10, 5, true);
    Add("a/1.txt", 11, 10, false);
    Add("A1", 12, 10, true);
    Add("back\\slash\x7F", 13, 12, false);
    Add("B", 20, 5, true);
    Add("b.txt", 21, 20, false);
    Add("adrift.txt", 40, 999, false);
    // 30 folders of 200 bytes: the limit falls between the 20th and the 21st.
    constexpr std::uint32_t kChain = 30;
    for (std::uint32_t k = 0; k < kChain; ++k) {
        Add(std::string(199, 'd') + char('a' + k % 26), 1'000 + k, k == 0 ? 20 : 1'000 + k - 1,
            true);
        Add(std::string(k * 7 % 300, 'f') + ".txt", 2'000 + k, 1'000 + k, false);
    }
    Add("last.txt", 60, 10, false);
    const auto placed = PlaceEntries(catalogue_, BuildFolderTable(catalogue_));

    std::vector<std::size_t> order(placed.size());
    for (std::size_t p = 0; p < order.size(); ++p) order[p] = p;
    std::vector<std::size_t> backwards(order.rbegin(), order.rend());
    std::vector<std::size_t> jumping;
    for (std::size_t p = 0; p < order.size(); ++p) jumping.push_back(p * 17 % order.size());
    std::size_t shortenedCount = 0;
    for (const auto& positions : {order, backwards, jumping}) {
        ShownPathWalk walk(catalogue_, placed);
        for (const std::size_t p : positions) {
            bool expectedShortened = false;
            const std::string expected = ShownPlacedPath(catalogue_, placed, p, expectedShortened);
            std::string walked = "prefix ";
            bool shortened = !expectedShortened;
            walk.AppendPath(walked, p, shortened);
            ASSERT_EQ(walked, "prefix " + expected) << "position " << p;
            ASSERT_EQ(shortened, expectedShortened) << "position " << p;
            shortenedCount += shortened ? 1 : 0;
        }
    }
    EXPECT_GT(shortenedCount, 3 * 10u);  // the limit was crossed, and came back under it
    EXPECT_LT(shortenedCount, 3 * 2 * kChain);
}

}  // namespace
}  // namespace tarvik
