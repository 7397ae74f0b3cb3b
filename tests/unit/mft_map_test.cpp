#include <gtest/gtest.h>

#include "disk/memory_sector_source.h"
#include "ntfs/mft_map.h"
#include "ntfs_builders.h"
#include "scan/mft_record_stream.h"

namespace tarvik {
namespace {

using testing::Bytes;

DataRun ClustersAt(std::uint64_t lcn, std::uint64_t clusters) {
    DataRun run;
    run.lcn = Cluster(lcn);
    run.lengthClusters = clusters;
    return run;
}

std::uint64_t FirstSector(const MftMap& map, std::uint64_t record) {
    return map.Locate(RecordNumber(record))->first().value();
}

TEST(MftMap, RecordsFollowTheRunsAndARecordSplitOverRunsHasOnePiecePerRun) {
    // Run 1: 3 sectors at 100 (odd length: record 1 straddles), run 2 before it.
    const MftMap map({ClustersAt(100, 3), ClustersAt(40, 5)}, 1, 2);
    EXPECT_EQ(map.recordCount(), 4u);
    EXPECT_EQ(map.Locate(RecordNumber(0))->count, 1u);
    const auto split = map.Locate(RecordNumber(1));
    ASSERT_TRUE(split);
    ASSERT_EQ(split->count, 2u);
    EXPECT_EQ(split->pieces[0].start.value(), 102u);
    EXPECT_EQ(split->pieces[1].start.value(), 40u);
    EXPECT_EQ(FirstSector(map, 2), 41u);
    EXPECT_EQ(FirstSector(map, 3), 43u);
    EXPECT_FALSE(map.Locate(RecordNumber(4)));  // past the MFT's end: refused, never guessed

    // 4096-byte records (8 sectors) over runs of 3, 2 and 5 sectors: three pieces.
    const MftMap large({ClustersAt(10, 3), ClustersAt(50, 2), ClustersAt(90, 5)}, 1, 8);
    EXPECT_EQ(large.recordCount(), 1u);
    const auto place = large.Locate(RecordNumber(0));
    ASSERT_TRUE(place);
    ASSERT_EQ(place->count, 3u);
    EXPECT_EQ(place->pieces[2].start.value(), 90u);
    EXPECT_EQ(place->pieces[2].sectors, 3u);
}

TEST(MftMap, NegativeDeltasOfEveryWidthPlaceRunsBeforeTheirPredecessor) {
    // 4 clusters at 70000, then deltas -10 (1 byte), -69980 (3 bytes), -10 (4 bytes).
    const Bytes list = {0x31, 4,    0x70, 0x11, 0x01, 0x11, 4,    0xF6, 0x31, 4,
                        0xA4, 0xEE, 0xFE, 0x41, 4,    0xF6, 0xFF, 0xFF, 0xFF, 0};
    const MftMap map(DecodeRuns(ByteView(list)).runs, 2, 2);
    EXPECT_EQ(FirstSector(map, 0), 140000u);
    EXPECT_EQ(FirstSector(map, 4), 139980u);
    EXPECT_EQ(FirstSector(map, 8), 20u);
    EXPECT_EQ(FirstSector(map, 12), 0u);
}

TEST(MftMap, RunsEndAtOneWhosePlaceOverflowsAndASparseRunIsPlacedNowhere) {
    const MftMap map({ClustersAt(100, 4), ClustersAt(std::uint64_t{1} << 62, 4), ClustersAt(10, 4)},
                     8, 2);
    EXPECT_EQ(map.runs().size(), 1u);
    EXPECT_EQ(map.recordCount(), 16u);

    DataRun sparse = ClustersAt(0, 16);
    sparse.sparse = true;
    const auto placed = PlaceRun(sparse, 4);
    ASSERT_TRUE(placed);
    EXPECT_TRUE(placed->sparse);
    EXPECT_EQ(placed->lengthSectors, 64u);
    EXPECT_FALSE(PlaceRun(ClustersAt(1, UINT64_MAX / 2), 4));  // its length overflows
}

// Record 0 may claim any size; the records counted, and so the time a scan spends on
// them, stop at the volume's end.
TEST(MftMap, RunsAreCutAtTheVolumesEnd) {
    const MftMap huge({ClustersAt(4, std::uint64_t{1} << 24), ClustersAt(2, 4)}, 8, 2, 4096);
    EXPECT_EQ(huge.runs().size(), 1u);
    EXPECT_EQ(huge.totalSectors(), 4096u - 32);
    EXPECT_EQ(huge.recordCount(), (4096u - 32) / 2);
    const MftMap outside({ClustersAt(600, 4)}, 8, 2, 4096);
    EXPECT_EQ(outside.recordCount(), 0u);
}

// Records handed out where they lie in the stream's buffer are those a copying walk
// hands out, in number order: across chunk ends, one split over two runs (read on its
// own into the spare buffer), and one past the drive's end (unreadable, zero-filled).
TEST(MftRecordStream, RecordsInPlaceAreTheRecordsCopied) {
    std::vector<std::uint8_t> drive(200 * 512);
    for (std::size_t i = 0; i < drive.size(); ++i) drive[i] = static_cast<std::uint8_t>(i / 512);
    MemorySectorSource source(drive);
    // 2-sector records over runs of 7 sectors at 10, 5 at 100 and 6 at 198 (past the end).
    const MftMap map({ClustersAt(10, 7), ClustersAt(100, 5), ClustersAt(198, 6)}, 1, 2);
    ASSERT_EQ(map.recordCount(), 9u);
    MftRecordStream copying(source, map, 4);
    MftRecordStream inPlace(source, map, 4);
    RecordNumber a;
    RecordNumber b;
    std::vector<std::uint8_t> copy(1024);
    std::vector<std::uint8_t> spare;
    std::span<std::uint8_t> view;
    bool readableA = false;
    bool readableB = false;
    std::vector<bool> readable;
    while (copying.Next(a, copy, readableA)) {
        ASSERT_TRUE(inPlace.NextInPlace(b, view, spare, readableB));
        EXPECT_EQ(a, b);
        EXPECT_EQ(readableA, readableB) << a.value();
        EXPECT_TRUE(std::equal(copy.begin(), copy.end(), view.begin(), view.end())) << a.value();
        readable.push_back(readableB);
    }
    EXPECT_FALSE(inPlace.NextInPlace(b, view, spare, readableB));
    EXPECT_EQ(readable,
              (std::vector<bool>{true, true, true, true, true, true, true, false, false}));
    // Record 3 lies over sectors 16 and 100: its two halves come from the two runs.
    MftRecordStream again(source, map, 4);
    for (int i = 0; i <= 3; ++i) again.NextInPlace(b, view, spare, readableB);
    EXPECT_EQ(view[0], 16);
    EXPECT_EQ(view[512], 100);
}

}  // namespace
}  // namespace tarvik
