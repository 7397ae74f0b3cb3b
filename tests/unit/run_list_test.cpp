#include <gtest/gtest.h>

#include "ntfs/run_list.h"
#include "ntfs_builders.h"

namespace tarvik {
namespace {

using testing::Bytes;

std::vector<PlacedRun> Place(const Bytes& list, std::uint32_t spc, std::uint64_t* sum = nullptr) {
    std::vector<PlacedRun> placed;
    std::uint64_t sectors = 0;
    for (const DataRun& run : DecodeRuns(ByteView(list)).runs) {
        placed.push_back(*PlaceRun(run, spc));
        sectors += placed.back().lengthSectors;
    }
    if (sum) *sum = sectors;
    return placed;
}

TEST(RunList, SparseRunInTheMiddleIsMarkedAndTheRunsAfterItKept) {
    // 16 clusters at 100, 8 sparse, 4 at 100 + 20, then 0x22 at 120 - 0x10.
    const Bytes list = {0x11, 0x10, 0x64, 0x01, 0x08, 0x11, 0x04, 0x14, 0x11, 0x22, 0xF0, 0x00};
    std::uint64_t sum = 0;
    const auto runs = Place(list, 2, &sum);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(sum, 2u * (16 + 8 + 4 + 0x22));
    EXPECT_EQ(runs[0].start.value(), 200u);
    EXPECT_TRUE(runs[1].sparse);
    EXPECT_EQ(runs[1].lengthSectors, 16u);
    EXPECT_EQ(runs[2].start.value(), 240u);
    EXPECT_EQ(runs[3].start.value(), 208u);

    const DecodedRunList wide = DecodeRuns(ByteView(list));
    ASSERT_TRUE(wide.complete);
    ASSERT_EQ(wide.runs.size(), 4u);
    EXPECT_EQ(wide.runs[2].lcn.value(), 120u);
    EXPECT_EQ(wide.runs[2].vcn, 24u);
    EXPECT_EQ(wide.runs[3].lcnDelta, -16);
    EXPECT_EQ(wide.runs[3].lcn.value(), 104u);
}

TEST(RunList, NegativeDeltasOfEachWidthStepBack) {
    // First run at 0x100000; then -1 (width 1), -0x100 (width 2), -0x10000 (width 3).
    const Bytes list = {0x31, 0x01, 0x00, 0x00, 0x10, 0x11, 0x01, 0xFF, 0x21,
                        0x01, 0x00, 0xFF, 0x31, 0x01, 0x00, 0x00, 0xFF, 0x00};
    const auto runs = Place(list, 1);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[1].start.value(), 0x100000u - 1);
    EXPECT_EQ(runs[2].start.value(), 0x100000u - 1 - 0x100);
    EXPECT_EQ(runs[3].start.value(), 0x100000u - 1 - 0x100 - 0x10000);
    const DecodedRunList wide = DecodeRuns(ByteView(list));
    EXPECT_EQ(wide.runs[3].lcnDelta, -0x10000);
}

TEST(RunList, ListEndsAtMalformedHeadersBelowClusterZeroAndAtOverflow) {
    const Bytes good = {0x11, 0x01, 0x05};
    auto count = [](const Bytes& list, std::size_t maxRuns = kMaxRuns) {
        return DecodeRuns(ByteView(list), maxRuns).runs.size();
    };
    EXPECT_EQ(count(testing::Join({good, {0x10, 0x11, 0x01, 0x05}})), 1u);  // length width 0
    EXPECT_EQ(count(testing::Join({good, {0x09}})), 1u);                    // length width 9
    EXPECT_EQ(count(testing::Join({good, {0x91, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9}})), 1u);
    EXPECT_EQ(count(testing::Join({good, good, good}), 2), 2u);  // at the run limit
    EXPECT_EQ(count({0x11, 0x01}), 0u);                          // cut short
    // Widths up to 8 are taken; a cluster below 0 ends the list, incomplete.
    EXPECT_EQ(count(Bytes{0x51, 1, 1, 0, 0, 0, 1, 0}), 1u);
    EXPECT_FALSE(DecodeRuns(ByteView(Bytes{0x11, 1, 0xFF, 0})).complete);
    // Lengths whose sum passes 2^64 clusters end it too.
    const Bytes huge = {0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(count(testing::Join({huge, huge, {0}})), 1u);
    // A run whose sectors do not fit 64 bits cannot be placed.
    DataRun far;
    far.lcn = Cluster(std::uint64_t{1} << 60);
    far.lengthClusters = 1;
    EXPECT_FALSE(PlaceRun(far, 16));
    EXPECT_TRUE(PlaceRun(far, 8));
}

TEST(RunList, AListEndedByAFaultSaysWhyAndAtWhichByte) {
    const auto fault = [](const Bytes& list, std::size_t maxRuns = kMaxRuns) {
        const DecodedRunList decoded = DecodeRuns(ByteView(list), maxRuns);
        EXPECT_FALSE(decoded.complete);
        return decoded.fault;
    };
    EXPECT_STREQ(fault({0x11, 4, 10, 0x09, 0}).reason, kMalformedRun);
    EXPECT_EQ(fault({0x11, 4, 10, 0x09, 0}).position, 3u);
    EXPECT_EQ(fault({0x11, 4, 10, 0x09, 0}).Describe(), "malformed run at byte 3");
    EXPECT_STREQ(fault({0x11, 4, 10, 0x11}).reason, kRunListUnended);
    EXPECT_STREQ(fault({0x11, 1, 5, 0x11, 1, 0xF0, 0}).reason, kClusterOutOfRange);
    EXPECT_EQ(fault({0x11, 1, 5, 0x11, 1, 0xF0, 0}).position, 3u);
    EXPECT_STREQ(fault({0x11, 1, 5, 0x11, 1, 5, 0}, 1).reason, kTooManyRuns);
    const DecodedRunList whole = DecodeRuns(ByteView(Bytes{0x11, 1, 5, 0}));
    EXPECT_TRUE(whole.complete);
    EXPECT_STREQ(whole.fault.reason, "");
}

}  // namespace
}  // namespace tarvik
