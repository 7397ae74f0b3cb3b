#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "partition/drive_list.h"
#include "partition/partition_types.h"
#include "partition/partition_walk.h"
#include "small_stack.h"
#include "temp_image.h"

namespace tarvik {
namespace {

using testing::PartitionTableBytes;
using testing::TempImage;

class CountingNotifier : public Notifier {
  public:
    void Notify(const std::string& text, const std::string& caption, NoticeIcon) override {
        last = caption + ": " + text;
        ++count;
    }
    std::string last;
    int count = 0;
};

std::vector<LogicalDriveEntry> Walk(const std::string& path, CountingNotifier& notifier) {
    const auto disks = testing::ImageDisks({path});
    DriveList list;
    StartPartitionWalk(*disks[0], list, notifier);
    return list.Entries();
}

TEST(PartitionWalk, PrimaryEntriesAreAbsolute) {
    TempImage image(1100);
    image.WriteSector(0, PartitionTableBytes({{0x07, 63, 1000}}));
    CountingNotifier notifier;
    const auto drives = Walk(image.path(), notifier);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0], (LogicalDriveEntry{63, 1063, 0x07}));
    EXPECT_EQ(notifier.count, 0);
}

// Data entries of an extended table count from that table's sector; links to further
// tables count from the start of the first extended partition.
TEST(PartitionWalk, ExtendedChainIsWalkedDepthFirstInTableOrder) {
    TempImage image(40000);
    image.WriteSector(
        0, PartitionTableBytes(
               {{0x0B, 63, 5000}, {0x0F, 10000, 30000}, {0x83, 39000, 500}, {0x07, 39500, 400}}));
    image.WriteSector(10000, PartitionTableBytes({{0x07, 63, 5000}, {0x05, 20000, 9000}}));
    image.WriteSector(30000, PartitionTableBytes({{0x07, 63, 7000}}));
    CountingNotifier notifier;
    const auto drives = Walk(image.path(), notifier);
    ASSERT_EQ(drives.size(), 4u);
    EXPECT_EQ(drives[0], (LogicalDriveEntry{63, 5063, 0x0B}));
    EXPECT_EQ(drives[1], (LogicalDriveEntry{10063, 15063, 0x07}));
    EXPECT_EQ(drives[2], (LogicalDriveEntry{30063, 37063, 0x07}));
    EXPECT_EQ(drives[3], (LogicalDriveEntry{39500, 39900, 0x07}));
}

TEST(PartitionWalk, ChainThatLoopsBackEndsThereKeepingEverythingFoundBefore) {
    TempImage image(3000);
    image.WriteSector(0, PartitionTableBytes({{0x05, 1000, 2000}}));
    image.WriteSector(1000, PartitionTableBytes({{0x07, 10, 100}, {0x05, 500, 600}}));
    // The second table links back to the first (relative 0 from the extended base).
    image.WriteSector(1500, PartitionTableBytes({{0x0C, 10, 50}, {0x05, 0, 600}}));
    CountingNotifier notifier;
    const auto drives = Walk(image.path(), notifier);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].startSector, 1010u);
    EXPECT_EQ(drives[1].startSector, 1510u);
}

TEST(PartitionWalk, NoRecognisedTypeGivesTheBadTableMessage) {
    TempImage image(100);
    image.WriteSector(
        0, PartitionTableBytes({{0x00, 1, 2}, {0x17, 3, 4}, {0x83, 5, 6}, {0xEE, 1, 99}}));
    CountingNotifier notifier;
    EXPECT_TRUE(Walk(image.path(), notifier).empty());
    EXPECT_EQ(notifier.count, 1);
    EXPECT_EQ(notifier.last,
              "Corrupted Partition Table: Bad Partition Table, Searching Logical Drive");
}

TEST(PartitionWalk, UnreadableExtendedTableEndsOnlyThatBranch) {
    TempImage image(200);
    image.WriteSector(0,
                      PartitionTableBytes({{0x07, 63, 100}, {0x05, 5000, 100}, {0x06, 170, 20}}));
    CountingNotifier notifier;
    const auto drives = Walk(image.path(), notifier);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[1].partitionType, 0x06);
}

TEST(PartitionWalk, EachWalkStartsFromAFreshStateAndSetsThePreviousListAside) {
    TempImage first(40000);
    first.WriteSector(0, PartitionTableBytes({{0x0F, 10000, 30000}}));
    first.WriteSector(10000, PartitionTableBytes({{0x07, 63, 5000}}));
    TempImage second(9000);
    second.WriteSector(0, PartitionTableBytes({{0x05, 2000, 7000}}));
    second.WriteSector(2000, PartitionTableBytes({{0x07, 63, 100}, {0x05, 3000, 1000}}));
    second.WriteSector(5000, PartitionTableBytes({{0x07, 63, 200}}));

    const auto disks = testing::ImageDisks({first.path(), second.path()});
    CountingNotifier notifier;
    DriveList list;
    StartPartitionWalk(*disks[0], list, notifier);
    ASSERT_EQ(list.Count(), 1u);
    StartPartitionWalk(*disks[1], list, notifier);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.EntryAt(1)->startSector, 5063u);  // 2000 + 3000 + 63, not from disk 0's base

    ASSERT_TRUE(list.RestorePrevious());  // a cancelled selection brings disk 0 back
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.EntryAt(0)->startSector, 10063u);
    EXPECT_FALSE(list.HasPrevious());
}

// Each table of the chain holds one drive and the link to the next. The walk stops at
// its bound on tables, on a thread whose stack a recursion per table would overflow.
TEST(PartitionWalk, LongChainEndsAtTheTableBoundWithoutDeepRecursion) {
    constexpr std::uint32_t kBase = 100;
    constexpr std::uint32_t kTables = 5000;
    TempImage image(kBase + 2 * kTables + 10);
    std::vector<std::uint8_t> chain;
    for (std::uint32_t k = 0; k < kTables; ++k) {
        const auto table = PartitionTableBytes({{0x07, 1, 1}, {0x05, 2 * (k + 1), 2}});
        chain.insert(chain.end(), table.begin(), table.end());
        chain.resize(chain.size() + 512);  // the drive's sector
    }
    image.WriteSector(0, PartitionTableBytes({{0x05, kBase, 2 * kTables}}));
    image.WriteSector(kBase, chain);
    const auto disks = testing::ImageDisks({image.path()});

    std::vector<LogicalDriveEntry> drives;
    ASSERT_TRUE(testing::RunOnStackOf(1 << 20, [&] {
        DriveList list;
        NullNotifier quiet;
        StartPartitionWalk(*disks[0], list, quiet);
        drives = list.Entries();
    }));
    ASSERT_EQ(drives.size(), kMaxPartitionTables - 1);  // the MBR is a table too
    for (std::size_t k = 0; k < drives.size(); ++k) {
        ASSERT_EQ(drives[k], (LogicalDriveEntry{kBase + 2 * k + 1, kBase + 2 * k + 2, 0x07}));
    }
}

// The table fields are 32-bit; the first extended partition starts just below 2^32
// sectors, so the places of what its tables hold lie past 32 bits.
TEST(PartitionWalk, SumsOfExtendedChainsArePlacedPast32Bits) {
    constexpr std::uint64_t kBase = 0xFFFFF000u;
    TempImage image(kBase + 0x4000);  // sparse
    image.WriteSector(0, PartitionTableBytes({{0x07, 63, 1000}, {0x0F, 0xFFFFF000u, 0x4000}}));
    image.WriteSector(kBase, PartitionTableBytes({{0x07, 0x2000, 0x800}, {0x05, 0x3000, 100}}));
    image.WriteSector(kBase + 0x3000, PartitionTableBytes({{0x86, 0x10, 0xFFFFFFFFu}}));
    CountingNotifier notifier;
    const auto drives = Walk(image.path(), notifier);
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[1], (LogicalDriveEntry{0x100001000ull, 0x100001800ull, 0x07}));
    EXPECT_EQ(drives[2].startSector, 0x100002010ull);
    EXPECT_EQ(drives[2].sizeInSectors(), 0xFFFFFFFFu);  // the end needs 33 bits
}

// On a 4Kn device the MBR fields count 4096-byte sectors, eight units each: starts,
// sizes and the places of linked tables alike.
TEST(PartitionWalk, FourKilobyteSectorTablesAreScaledToUnits) {
    TempImage image(8 * 3000);
    image.WriteSector(0, PartitionTableBytes({{0x07, 10, 100}, {0x05, 1000, 2000}}));
    image.WriteSector(8 * 1000, PartitionTableBytes({{0x07, 5, 50}}));
    const auto disks = testing::ImageDisks({image.path()});
    Disk& disk = *disks[0];
    PartitionWalkState state;
    state.unitsPerSector = 8;
    std::vector<LogicalDriveEntry> drives;
    ReadPartitionTable(disk, DiskSector(0), state, drives);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0], (LogicalDriveEntry{80, 880, 0x07}));
    EXPECT_EQ(drives[1], (LogicalDriveEntry{8040, 8440, 0x07}));
}

// The desktop program walks on a worker while its user-interface thread reads the
// list: every read sees one walk's whole result.
TEST(PartitionWalk, AReaderOnAnotherThreadSeesWholeListsOnly) {
    TempImage two(1000);
    two.WriteSector(0, PartitionTableBytes({{0x07, 63, 100}, {0x0B, 200, 100}}));
    TempImage three(1000);
    three.WriteSector(0, PartitionTableBytes({{0x07, 63, 10}, {0x06, 80, 10}, {0x07, 99, 9}}));
    const auto disks = testing::ImageDisks({two.path(), three.path()});
    DriveList list;
    NullNotifier quiet;
    StartPartitionWalk(*disks[1], list, quiet);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (unsigned walk = 0; walk < 2000; ++walk)
            StartPartitionWalk(*disks[walk % 2], list, quiet);
        done = true;
    });
    int partial = 0;
    while (!done) {
        const std::size_t seen = list.Entries().size();
        if (seen != 2 && seen != 3) ++partial;
    }
    worker.join();
    EXPECT_EQ(partial, 0);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.EntryAt(1)->partitionType, 0x06);
}

TEST(PartitionWalk, BareNtfsVolumeIsOneDriveAtSectorZero) {
    TempImage image(2000);
    std::vector<std::uint8_t> boot(512, 0);
    std::memcpy(&boot[3], "NTFS    ", 8);
    boot[0x0B] = 0x00;
    boot[0x0C] = 0x02;  // 512 bytes per sector
    boot[0x0D] = 8;
    testing::PutLe32(boot, 0x28, 1999);
    testing::PutLe32(boot, 0x30, 4);
    testing::PutLe32(boot, 0x38, 100);
    // Boot code bytes that would read as a partition entry of type 0x07.
    boot[0x1BE + 4] = 0x07;
    testing::PutLe32(boot, 0x1BE + 8, 5);
    testing::PutLe32(boot, 0x1BE + 12, 5);
    boot[510] = 0x55;
    boot[511] = 0xAA;
    image.WriteSector(0, boot);
    CountingNotifier notifier;
    const auto drives = Walk(image.path(), notifier);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0], (LogicalDriveEntry{0, 2000, 0x07}));  // backup boot sector included
}

TEST(PartitionTypes, NamesAndScannedTypes) {
    EXPECT_EQ(FileSystemName(0x0E), "FAT 32");
    EXPECT_EQ(FileSystemName(0x42), "NTFS");
    EXPECT_EQ(FileSystemName(0x87), "EXTENDED NTFS");
    EXPECT_EQ(FileSystemName(0x04), "FAT 16");
    EXPECT_FALSE(FileSystemName(0x05));
    EXPECT_FALSE(FileSystemName(0x83));
    EXPECT_TRUE(IsScannedType(0x86));
    EXPECT_FALSE(IsScannedType(0x0B));
}

}  // namespace
}  // namespace tarvik
