#include <gtest/gtest.h>

#include "ntfs/mft_map.h"

namespace tarvik {
namespace {

RunTable Runs(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> clustersAndStarts) {
    // Runs given as (length in clusters, absolute start cluster), stored as deltas.
    RunTable table;
    std::int64_t previous = 0;
    bool first = true;
    for (auto [length, start] : clustersAndStarts) {
        const std::int64_t delta = static_cast<std::int64_t>(start) - previous;
        RunEntry entry;
        entry.lengthSectors = length * 2;  // 2 sectors per cluster
        entry.rawCluster = static_cast<std::uint32_t>(delta) & 0xFFFFFF;
        entry.clusterWidth = 3;
        entry.tag = first ? kFirstRunTag : kLaterRunTag;
        table.Append(entry);
        previous = start;
        first = false;
    }
    return table;
}

TEST(MftMap, RecordsFollowTheRunsAndARecordSplitOverTwoRunsHasTwoPlaces) {
    // Run 1: 3 sectors at cluster 100 (odd length: record 1 straddles), run 2 before it.
    RunTable table;
    table.Append({0, 3, 100, 1, kFirstRunTag});
    table.Append({0, 5, static_cast<std::uint32_t>(-60) & 0xFF, 1, kLaterRunTag});
    const MftMap map(table, 2);
    EXPECT_EQ(map.recordCount(), 4u);

    EXPECT_EQ(map.Locate(0)->firstSector, 200u);
    EXPECT_FALSE(map.Locate(0)->secondSector);
    const auto split = map.Locate(1);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->firstSector, 202u);
    EXPECT_EQ(split->secondSector, 80u);  // (100 - 60) x 2
    EXPECT_EQ(map.Locate(2)->firstSector, 81u);
    EXPECT_EQ(map.Locate(3)->firstSector, 83u);
    EXPECT_FALSE(map.Locate(4));  // past the MFT's end: refused, never guessed
}

TEST(MftMap, NegativeDeltasOfEveryWidthPlaceRunsBeforeTheirPredecessor) {
    const MftMap map(Runs({{4, 70000}, {4, 69990}, {4, 10}}), 2);
    EXPECT_EQ(map.Locate(0)->firstSector, 140000u);
    EXPECT_EQ(map.Locate(4)->firstSector, 139980u);
    EXPECT_EQ(map.Locate(8)->firstSector, 20u);
    EXPECT_EQ(RunWalker::SignedDelta(0xF6, 1), -10);
    EXPECT_EQ(RunWalker::SignedDelta(0xFFF6, 2), -10);
    EXPECT_EQ(RunWalker::SignedDelta(0x7F, 1), 127);
    EXPECT_EQ(RunWalker::SignedDelta(0xFFFFFFF6u, 4), -10);
}

TEST(RunWalker, SparseRunKeepsThePlaceOfTheRunsAfterIt) {
    RunTable table;
    table.Append({0, 8, 50, 1, kFirstRunTag});
    table.Append({0, 16, 0, 0, kLaterRunTag});  // sparse
    table.Append({0, 8, 10, 1, kLaterRunTag});
    const auto runs = PlaceRuns(table, 4);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_TRUE(runs[1].sparse);
    EXPECT_EQ(runs[2].startSector, 240u);  // (50 + 10) x 4
}

}  // namespace
}  // namespace tarvik
