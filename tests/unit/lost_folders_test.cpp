#include <gtest/gtest.h>

#include "disk/memory_sector_source.h"
#include "scan/entry_counts.h"
#include "scan/scan_phases.h"
#include "scan/scan_state.h"

namespace tarvik {
namespace {

CatalogueEntry Entry(const char* name, std::uint32_t number, std::uint32_t parent, bool folder) {
    CatalogueEntry entry{};
    entry.SetName(name);
    entry.number = number;
    entry.parent = parent;
    entry.attribute = folder ? kAttributeDirectory : kAttributeFile;
    return entry;
}

struct LostFolderTest : ::testing::Test {
    ScanState state{DriveGeometry{},
                    std::make_unique<MemorySectorSource>(std::vector<std::uint8_t>(512))};
    NullProgressSink progress;

    void Add(const CatalogueEntry& entry) {
        state.catalogue.Append(entry);
        const std::uint32_t number = entry.number;
        if (entry.IsDirectory()) state.directoryIds.Append(number);
    }
    std::string NameAt(std::size_t i) const { return std::string(state.catalogue.At(i).Name()); }
    std::uint32_t NumberAt(std::size_t i) const { return state.catalogue.At(i).number; }
    std::uint32_t ParentAt(std::size_t i) const { return state.catalogue.At(i).parent; }
};

TEST_F(LostFolderTest, OrphansOfOneMissingParentShareOneMadeUpFolderNumberedAsThatParent) {
    Add(Entry("docs", 40, 5, true));
    Add(Entry("a.txt", 41, 40, false));
    Add(Entry("x1", 90, 77, false));
    Add(Entry("x2", 91, 77, false));
    Add(Entry("x3", 92, 77, false));
    Add(Entry("y", 93, 0, false));  // no parent at all: left where it is
    RunLostFilesPhase(state, progress, 0);

    ASSERT_EQ(state.catalogue.Count(), 8u);
    EXPECT_EQ(NameAt(6), "Lost Folder 0000");
    EXPECT_EQ(ParentAt(6), 5u);
    // The lost-folder root takes a number above every number already catalogued.
    EXPECT_GT(NumberAt(6), 93u);
    EXPECT_EQ(NameAt(7), "Folder 0000");
    EXPECT_EQ(NumberAt(7), 77u);
    EXPECT_EQ(ParentAt(7), NumberAt(6));
    EXPECT_TRUE(state.catalogue.At(7).IsMadeUp());
    // The made-up folders are lost folders, not lost files as well.
    EXPECT_EQ(state.counters.lostFiles, 0u);
    EXPECT_EQ(state.counters.lostDirectories, 2u);
}

TEST_F(LostFolderTest, SecondRunMakesTheNextLostFolderRootAndKeepsCountingFolders) {
    Add(Entry("x", 90, 77, false));
    RunLostFilesPhase(state, progress, 0);
    const std::size_t before = state.catalogue.Count();
    Add(Entry("z", 95, 78, false));
    RunLostFilesPhase(state, progress, before);

    EXPECT_EQ(NameAt(before + 1), "Lost Folder 0001");
    EXPECT_EQ(NameAt(before + 2), "Folder 0001");
    EXPECT_NE(NumberAt(before + 1), NumberAt(1));
}

// Nothing lost, no lost-folder root: not on the first run, and not on a later one, which
// leaves the root numbering where it was.
TEST_F(LostFolderTest, CatalogueWithEveryParentKnownGetsNoLostFolder) {
    Add(Entry("docs", 40, 5, true));
    Add(Entry("a.txt", 41, 40, false));
    RunLostFilesPhase(state, progress, 0);
    EXPECT_EQ(state.catalogue.Count(), 2u);
    EXPECT_EQ(state.counters.lostFiles, 0u);
    EXPECT_EQ(state.counters.lostDirectories, 0u);

    Add(Entry("b.txt", 42, 40, false));
    RunLostFilesPhase(state, progress, 2);
    Add(Entry("x", 90, 77, false));
    RunLostFilesPhase(state, progress, 3);
    ASSERT_EQ(state.catalogue.Count(), 6u);
    EXPECT_EQ(NameAt(4), "Lost Folder 0000");
    EXPECT_EQ(NameAt(5), "Folder 0000");
}

// Every entry counted once, in one group: deleted entries are deleted wherever they lie;
// made-up folders are lost folders and the live entries they hold lost ones; an entry no
// folder holds counts too, so the groups add up to the catalogue.
TEST_F(LostFolderTest, CountsAddUpToTheCatalogueWithEachEntryInOneGroup) {
    Add(Entry("docs", 40, 5, true));
    Add(Entry("a.txt", 41, 40, false));
    CatalogueEntry gone = Entry("gone.txt", 43, 40, false);
    gone.deleted = 1;
    Add(gone);
    CatalogueEntry goneFolder = Entry("old", 44, 5, true);
    goneFolder.deleted = 1;
    Add(goneFolder);
    CatalogueEntry orphan = Entry("orphan.txt", 90, 77, false);
    orphan.deleted = 1;
    Add(orphan);
    Add(Entry("orphan-folder", 91, 77, true));
    Add(Entry("lost.txt", 94, 77, false));
    Add(Entry("inside.txt", 92, 91, false));
    Add(Entry("nowhere.txt", 93, 0, false));
    RunLostFilesPhase(state, progress, 0);

    const ScanCounters counts = CountEntries(state.catalogue);
    EXPECT_EQ(counts.lostDirectories, 3u);  // the root, Folder 0000 and orphan-folder
    EXPECT_EQ(counts.lostFiles, 1u);        // lost.txt
    EXPECT_EQ(counts.deletedFiles, 2u);     // gone.txt and orphan.txt
    EXPECT_EQ(counts.deletedDirectories, 1u);
    EXPECT_EQ(counts.normalDirectories, 1u);
    EXPECT_EQ(counts.normalFiles, 3u);  // a.txt, inside.txt, nowhere.txt
    EXPECT_EQ(counts.normalFiles + counts.normalDirectories + counts.deletedFiles +
                  counts.deletedDirectories + counts.lostFiles + counts.lostDirectories,
              state.catalogue.Count());
}

}  // namespace
}  // namespace tarvik
