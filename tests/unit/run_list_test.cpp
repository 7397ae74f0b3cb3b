#include <gtest/gtest.h>

#include "ntfs/run_list.h"
#include "ntfs_builders.h"

namespace tarvik {
namespace {

using testing::Bytes;

std::vector<PlacedRun> Place(const Bytes& list, std::uint32_t spc, std::uint64_t* sum = nullptr) {
    RunTable table;
    const std::uint64_t sectors = DecodeRunList(ByteView(list), spc, table);
    if (sum) *sum = sectors;
    return PlaceRuns(table, spc);
}

TEST(RunList, SparseRunInTheMiddleIsMarkedAndTheRunsAfterItKept) {
    // 16 clusters at 100, 8 sparse, 4 at 100 + 20, then 0x22 at 120 - 0x10.
    const Bytes list = {0x11, 0x10, 0x64, 0x01, 0x08, 0x11, 0x04, 0x14, 0x11, 0x22, 0xF0, 0x00};
    std::uint64_t sum = 0;
    const auto runs = Place(list, 2, &sum);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(sum, 2u * (16 + 8 + 4 + 0x22));
    EXPECT_EQ(runs[0].startSector, 200u);
    EXPECT_TRUE(runs[1].sparse);
    EXPECT_EQ(runs[1].lengthSectors, 16u);
    EXPECT_EQ(runs[2].startSector, 240u);
    EXPECT_EQ(runs[3].startSector, 208u);

    const DecodedRunList wide = DecodeRuns(ByteView(list));
    ASSERT_TRUE(wide.complete);
    ASSERT_EQ(wide.runs.size(), 4u);
    EXPECT_EQ(wide.runs[2].lcn, 120u);
    EXPECT_EQ(wide.runs[2].vcn, 24u);
    EXPECT_EQ(wide.runs[3].lcnDelta, -16);
    EXPECT_EQ(wide.runs[3].lcn, 104u);
}

TEST(RunList, NegativeDeltasOfEachWidthStepBack) {
    // First run at 0x100000; then -1 (width 1), -0x100 (width 2), -0x10000 (width 3).
    const Bytes list = {0x31, 0x01, 0x00, 0x00, 0x10, 0x11, 0x01, 0xFF, 0x21,
                        0x01, 0x00, 0xFF, 0x31, 0x01, 0x00, 0x00, 0xFF, 0x00};
    const auto runs = Place(list, 1);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[1].startSector, 0x100000u - 1);
    EXPECT_EQ(runs[2].startSector, 0x100000u - 1 - 0x100);
    EXPECT_EQ(runs[3].startSector, 0x100000u - 1 - 0x100 - 0x10000);
    const DecodedRunList wide = DecodeRuns(ByteView(list));
    EXPECT_EQ(wide.runs[3].lcnDelta, -0x10000);
}

TEST(RunList, ListEndsAtWidthsThatDoNotFitAndAtOverflowingLengths) {
    const Bytes good = {0x11, 0x01, 0x05};
    auto count = [](const Bytes& list, std::uint32_t spc = 1, std::size_t capacity = 100) {
        RunTable table(capacity);
        DecodeRunList(ByteView(list), spc, table);
        return table.Count();
    };
    EXPECT_EQ(count(testing::Join({good, {0x10, 0x11, 0x01, 0x05}})), 1u);     // length width 0
    EXPECT_EQ(count(testing::Join({good, {0x09}})), 1u);                       // length width 9
    EXPECT_EQ(count(testing::Join({good, {0x51, 1, 1, 2, 3, 4, 5}})), 1u);     // cluster width 5
    EXPECT_EQ(count(testing::Join({good, {0x14, 0, 0, 0, 0x80, 1}}), 2), 1u);  // 2^31 x 2
    EXPECT_EQ(count(testing::Join({good, good, good}), 1, 2), 2u);             // full table
    EXPECT_EQ(count({0x11, 0x01}), 0u);                                        // cut short
    // The wide decoder takes widths up to 8 and stops below cluster 0.
    EXPECT_EQ(DecodeRuns(ByteView(Bytes{0x51, 1, 1, 0, 0, 0, 1, 0})).runs.size(), 1u);
    EXPECT_FALSE(DecodeRuns(ByteView(Bytes{0x11, 1, 0xFF, 0})).complete);
}

}  // namespace
}  // namespace tarvik
