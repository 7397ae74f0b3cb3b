// The window a preview reads of a file's bytes, with the ranges it could not read.
#include <gtest/gtest.h>

#include "filedata/file_data_window.h"
#include "ntfs_builders.h"

namespace tarvik {
namespace {

TEST(DataWindowTest, AWindowHoldsTheFilesBytesAndNamesTheSectorsThatCouldNotBeRead) {
    testing::MemorySource source(64);
    for (std::size_t i = 0; i < source.bytes.size(); ++i)
        source.bytes[i] = static_cast<std::uint8_t>(i / 512 + 1);  // sector s holds s + 1
    source.failing = {11};
    // Clusters of two sectors: two at cluster 5 (sectors 10 to 13, 11 unreadable), a
    // sparse one, then one at cluster 25, past the volume's 40 sectors; the file ends
    // 600 bytes into that last cluster.
    FileDataMap map;
    map.runs = {
        {0, 2, 5, Cluster(5), false}, {2, 1, 0, Cluster(0), true}, {3, 1, 20, Cluster(25), false}};
    map.realSize = map.initializedSize = map.allocatedSize = 3 * 1024 + 600;
    const DataWindow whole = ReadDataWindow(map, source, 2, 40, 0, 1 << 20, nullptr);
    ASSERT_EQ(whole.bytes.size(), map.realSize);
    EXPECT_EQ(whole.fileLength, map.realSize);
    EXPECT_EQ(whole.bytes[0], 11);
    EXPECT_EQ(whole.bytes[512], 0);
    EXPECT_EQ(whole.bytes[1024], 13);
    EXPECT_EQ(whole.bytes[2048], 0);
    EXPECT_EQ(whole.bytes[3072], 0);
    ASSERT_EQ(whole.unreadable.size(), 2u);
    EXPECT_EQ(whole.unreadable[0].offset, 512u);
    EXPECT_EQ(whole.unreadable[0].length, 512u);
    EXPECT_EQ(whole.unreadable[1].offset, 3072u);
    EXPECT_EQ(whole.unreadable[1].length, 600u);
    EXPECT_FALSE(whole.stopped);

    const DataWindow part = ReadDataWindow(map, source, 2, 40, 1000, 100, nullptr);
    ASSERT_EQ(part.bytes.size(), 100u);
    EXPECT_EQ(part.bytes[50], whole.bytes[1050]);
    ASSERT_EQ(part.unreadable.size(), 1u);
    EXPECT_EQ(part.unreadable[0].offset, 1000u);
    EXPECT_EQ(part.unreadable[0].length, 24u);
    EXPECT_TRUE(ReadDataWindow(map, source, 2, 40, map.realSize, 10, nullptr).bytes.empty());
}

}  // namespace
}  // namespace tarvik
