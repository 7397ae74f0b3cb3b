#include <gtest/gtest.h>

#include "ntfs/attribute.h"
#include "ntfs/mft_bitmap.h"
#include "ntfs_builders.h"
#include "scan/record_facts.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::RecordBuilder;

RecordFact Folder(bool inUse, std::uint16_t sequence) {
    RecordFact fact;
    fact.inUse = inUse;
    fact.directory = true;
    fact.sequence = sequence;
    return fact;
}

// A folder owns the children that name its sequence; a deleted one also those named
// before its record was freed (the sequence moved on then), a file or a record never
// read none.
TEST(RecordFacts, ParentSequenceDecidesWhoseChildItIs) {
    RecordFacts facts;
    facts.Cover(100);
    facts.SetBase(40, Folder(true, 7), false);
    facts.SetBase(41, Folder(false, 3), false);
    RecordFact file;
    file.inUse = false;
    file.sequence = 2;
    facts.SetBase(42, file, true);

    EXPECT_TRUE(facts.IsFolderOf(40, 7));
    EXPECT_FALSE(facts.IsFolderOf(40, 6));  // the record was freed and used again
    EXPECT_TRUE(facts.IsFolderOf(41, 3));
    EXPECT_TRUE(facts.IsFolderOf(41, 2));
    EXPECT_FALSE(facts.IsFolderOf(41, 1));
    EXPECT_FALSE(facts.IsFolderOf(42, 1));  // a file took the record
    EXPECT_FALSE(facts.IsFolderOf(43, 0));
    EXPECT_FALSE(facts.IsFolderOf(1000, 0));
    EXPECT_TRUE(facts.IsLive(40, 7));
    EXPECT_FALSE(facts.IsLive(41, 3));
}

// Sizes are 64-bit; a base record without its data takes the size its extension record
// gives, whichever is read first, and one with its own data keeps that.
TEST(RecordFacts, SizeComesFromTheRecordThatHoldsTheData) {
    RecordFacts facts;
    facts.Cover(10);
    RecordFact file;
    file.inUse = true;
    file.size = 5368709121;
    facts.SetBase(3, file, true);
    facts.SetSizeFromExtension(3, 7);
    EXPECT_EQ(facts.Find(3)->size, 5368709121u);

    facts.SetSizeFromExtension(4, 6442450944);
    file.size = 0;
    facts.SetBase(4, file, false);
    EXPECT_EQ(facts.Find(4)->size, 6442450944u);
    facts.SetBase(5, Folder(true, 1), false);
    facts.SetSizeFromExtension(5, 99);
    EXPECT_EQ(facts.Find(5)->size, 0u);  // a folder has no size
}

Bytes MftRecordWithBitmap(const Bytes& bits) {
    return RecordBuilder().Resident(attribute_type::kBitmap, bits).Finished();
}

TEST(MftBitmap, ReadsWhichRecordsAreInUseAndDistrustsOneWithoutTheMft) {
    testing::MemorySource drive(16);
    const Bytes record = MftRecordWithBitmap({0x3F, 0x81});
    const auto bitmap = MftBitmap::Read(ByteView(record.data(), record.size()), drive, 8, 16);
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_TRUE(bitmap->InUse(5));
    EXPECT_FALSE(bitmap->InUse(6));
    EXPECT_TRUE(bitmap->InUse(15));
    EXPECT_FALSE(bitmap->InUse(16));  // past the bitmap: free

    const Bytes zeroed = MftRecordWithBitmap({0x00, 0x00});
    EXPECT_FALSE(MftBitmap::Read(ByteView(zeroed.data(), zeroed.size()), drive, 8, 16));

    // Kept in a cluster of its own (cluster 1: sector 8), cut to the records' bits.
    Bytes cluster(4096, 0xFF);
    cluster[1] = 0x01;
    drive.Place(8, cluster);
    const Bytes outside =
        RecordBuilder().NonResident(attribute_type::kBitmap, {0x11, 0x01, 0x01}, 4096).Finished();
    const auto read = MftBitmap::Read(ByteView(outside.data(), outside.size()), drive, 8, 12);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->InUse(8));
    EXPECT_FALSE(read->InUse(9));
    EXPECT_FALSE(read->InUse(16));  // past the bits the MFT's records need
}

}  // namespace
}  // namespace tarvik
