#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntfs/index_allocation_reader.h"
#include "ntfs/index_block.h"
#include "ntfs/index_entry.h"
#include "ntfs/run_list.h"
#include "ntfs_builders.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::IndexEntryBytes;

std::vector<std::string> AcceptedNames(ByteView area) {
    std::vector<std::string> names;
    ForEachAcceptedEntry(area, [&](const IndexEntry& e) { names.push_back(e.fileName->name); });
    return names;
}

TEST(IndexEntries, EveryNamespaceButDosOnlyIsTakenUpToTheLastEntry) {
    const Bytes area = testing::Join({
        IndexEntryBytes(0x40, {u"posix name", 0}),
        IndexEntryBytes(0x41, {u"LONGFI~1", 2}),
        IndexEntryBytes(0x41, {u"long file name", 1}),
        IndexEntryBytes(0x42, {u"both.txt", 3}),
        testing::LastEntryBytes(),
        IndexEntryBytes(0x43, {u"stale after the end", 1}),
    });
    EXPECT_EQ(AcceptedNames(ByteView(area)),
              (std::vector<std::string>{"posix name", "long file name", "both.txt"}));
}

TEST(IndexEntries, ARecordNumberEndingIn0xA0IsNotTheEndAndMftIsRecordZero) {
    // Record 0x186A0 begins with the byte 0xA0.
    const Bytes area =
        testing::Join({IndexEntryBytes(0, {u"$MFT", 3}), IndexEntryBytes(0x186A0, {u"after", 1}),
                       testing::LastEntryBytes()});
    IndexEntryWalker walker{ByteView(area)};
    std::vector<std::uint32_t> records;
    while (auto e = walker.Next()) records.push_back(e->recordNumber());
    EXPECT_EQ(records, (std::vector<std::uint32_t>{0, 0x186A0}));
    EXPECT_TRUE(walker.reachedLast());
}

TEST(IndexEntries, OnlyTheDirectoryBitMakesAFolder) {
    const Bytes area = testing::Join({
        IndexEntryBytes(0x50, {u"link", 1, 5, 0x400, 0xA000000C}),  // symbolic link
        IndexEntryBytes(0x51, {u"folder", 1, 5, 0x10000000}),
        testing::LastEntryBytes(),
    });
    IndexEntryWalker walker{ByteView(area)};
    const auto link = walker.Next();
    ASSERT_TRUE(link && link->fileName);
    EXPECT_FALSE(link->isDirectory());
    EXPECT_EQ(link->fileName->reparseTag, 0xA000000Cu);
    EXPECT_TRUE(walker.Next()->isDirectory());

    Bytes zero = area;
    testing::Put16(zero, 8, 0);  // a zero length ends the walk at once
    EXPECT_TRUE(AcceptedNames(ByteView(zero)).empty());
}

Bytes Block(const std::u16string& name, std::uint64_t reference) {
    return testing::IndxBlock(
        testing::Join({IndexEntryBytes(reference, {name, 1}), testing::LastEntryBytes()}));
}

struct Allocation {
    testing::MemorySource source{256};
    std::vector<DataRun> runs;
    std::vector<std::string> names;

    IndexAllocationResult Read(std::uint32_t maxReadSectors = 8192) {
        IndexAllocationLimits limits;
        limits.maxReadSectors = maxReadSectors;
        return ReadIndexAllocation(
            runs, 1, 8, source, [&](const IndexEntry& e) { names.push_back(e.fileName->name); },
            limits);
    }
};

TEST(IndexAllocation, BlockAcrossTwoRunsIsJoinedAndADamagedBlockSkipped) {
    Allocation a;
    // Run 1: sectors 10-21 (block 0 whole, block 1's first 4 sectors); run 2: sectors
    // 100-119 (block 1's last 4 sectors, then blocks 2 and 3).
    const Bytes straddling = Block(u"across", 0x21);
    a.source.Place(10, Block(u"first", 0x20));
    a.source.Place(18, Bytes(straddling.begin(), straddling.begin() + 2048));
    a.source.Place(100, Bytes(straddling.begin() + 2048, straddling.end()));
    Bytes damaged = Block(u"damaged", 0x22);
    damaged[0] = 'X';
    a.source.Place(104, damaged);
    a.source.Place(112, Block(u"last", 0x23));
    a.runs = DecodeRuns(ByteView(Bytes{0x11, 12, 10, 0x11, 20, 90, 0})).runs;

    const auto result = a.Read();
    EXPECT_EQ(a.names, (std::vector<std::string>{"first", "across", "last"}));
    EXPECT_EQ(result.blocksAccepted, 3u);
    EXPECT_EQ(result.blocksSkipped, 1u);
    EXPECT_EQ(a.source.reads, 2u);  // one request per run
}

TEST(IndexAllocation, SparseRunsHoldNoBlocksAndTornBlocksAreSkipped) {
    Allocation a;
    a.source.Place(10, Block(u"before", 0x20));
    Bytes torn = Block(u"torn", 0x21);
    torn[1022] ^= 0xFF;  // second sector's tail lost its sequence number
    a.source.Place(18, torn);
    a.source.Place(40, Block(u"after", 0x22));
    // 16 sectors at 10, 8 sparse, 8 at 40.
    a.runs = DecodeRuns(ByteView(Bytes{0x11, 16, 10, 0x01, 8, 0x11, 8, 30, 0})).runs;

    const auto result = a.Read(8);
    EXPECT_EQ(a.names, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(result.blocksSparse, 1u);
    EXPECT_EQ(result.blocksSkipped, 1u);
    EXPECT_EQ(a.source.reads, 3u);
}

}  // namespace
}  // namespace tarvik
