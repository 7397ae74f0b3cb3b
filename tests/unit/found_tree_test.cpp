#include <gtest/gtest.h>

#include "ntfs/attribute.h"
#include "ntfs_builders.h"
#include "scan/found_tree.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::IndxBlock;
using testing::LastEntryBytes;
using testing::MemorySource;
using testing::RecordBuilder;

constexpr std::uint32_t kDriveSectors = 8192;

struct FoundTreeTest : ::testing::Test {
    FoundTreeTest() {
        DriveGeometry drive;
        drive.sizeInSectors = kDriveSectors;
        drive.sectorsPerCluster = 4;
        auto memory = std::make_unique<MemorySource>(kDriveSectors);
        source = memory.get();
        state = std::make_unique<ScanState>(drive, std::move(memory));
        state->foundRecords.resize(100);
    }
    MemorySource* source = nullptr;
    std::unique_ptr<ScanState> state;
};

TEST_F(FoundTreeTest,
       ReferencesResolveToTheFittingFolderOfTheSameVolumeOrToOneNumberPerMissingFolder) {
    FoundTree tree(*state, false);
    tree.AddFolder(kLiveVolume, 64, 3, true, 10);   // in use, another sequence
    tree.AddFolder(kLiveVolume, 64, 7, false, 11);  // deleted: freed after sequence 6
    tree.AddFolder(kLiveVolume, 70, 2, true, 12);
    tree.AddFolder(kLiveVolume, 70, 2, false, 13);  // a stale copy, same sequence
    tree.AddFolder(kOlderVolume, 64, 3, true, 20);

    EXPECT_EQ(tree.ParentOf(kLiveVolume, 5, 5), kRootFolderNumber);
    EXPECT_EQ(tree.ParentOf(kLiveVolume, 64, 3), 10u);
    EXPECT_EQ(tree.ParentOf(kLiveVolume, 64, 6), 11u);
    EXPECT_EQ(tree.ParentOf(kLiveVolume, 64, 9), 10u);  // none fits: the one in use
    EXPECT_EQ(tree.ParentOf(kLiveVolume, 70, 2), 12u);  // the first of equal fits
    EXPECT_EQ(tree.ParentOf(kOlderVolume, 64, 3), 20u);
    EXPECT_EQ(tree.ParentOf(kLiveVolume, 0, 0), 0u);

    // Missing folders take numbers no found record has; the older volume's root is one
    // of them, never the live root.
    const std::uint32_t missing = tree.ParentOf(kLiveVolume, 99, 1);
    const std::uint32_t olderRoot = tree.ParentOf(kOlderVolume, 5, 5);
    const std::uint32_t olderMissing = tree.ParentOf(kOlderVolume, 70, 2);
    EXPECT_GE(missing, 100u);
    EXPECT_NE(olderRoot, kRootFolderNumber);
    EXPECT_NE(olderRoot, missing);
    EXPECT_NE(olderMissing, 12u);
    EXPECT_NE(olderMissing, missing);
    EXPECT_EQ(tree.ParentOf(kLiveVolume, 99, 4), missing);
    EXPECT_GT(tree.numbersEnd(), std::uint64_t{olderMissing});

    // With the MFT read, the live volume's references are MFT numbers already.
    FoundTree byMft(*state, true);
    byMft.AddFolder(kLiveVolume, 64, 3, true, 10);
    EXPECT_EQ(byMft.ParentOf(kLiveVolume, 64, 3), 64u);
}

// An older volume's folder whose index block lies at cluster 100 and 200 of 8 KiB
// clusters (16 sectors), while the live volume has 2 KiB clusters (4 sectors).
Bytes OlderFolder(std::uint16_t lcn) {
    const Bytes runs = {0x21, 0x01, static_cast<std::uint8_t>(lcn & 0xFF),
                        static_cast<std::uint8_t>(lcn >> 8), 0x00};
    return RecordBuilder(3)
        .NonResident(attribute_type::kIndexAllocation, runs, 8192, u"$I30")
        .Finished();
}

TEST_F(FoundTreeTest, OlderLayoutComesFromItsBootSectorMftRecordsOrIndexBlocksElseIsUnverified) {
    FoundRecordOrigin folder;
    folder.numbered = true;
    folder.number = 40;
    folder.volume = kOlderVolume;

    OlderVolumeClues none;
    EXPECT_TRUE(none.empty());
    none.Take(DriveSector(900), folder, OlderFolder(100));
    const FoundVolume guessed = none.Volume(*state);
    EXPECT_FALSE(guessed.verified);
    EXPECT_EQ(guessed.sectorsPerCluster, 4u);
    // Nothing tells these records from stale copies of the live volume's ...
    EXPECT_FALSE(none.ShowAnotherVolume(*state, guessed));
    // ... until a file's runs reach past the drive at the live cluster size.
    FoundRecordOrigin file = folder;
    file.number = 41;
    const Bytes farRuns = {0x21, 0x01, 0x00, 0x08, 0x00};  // cluster 2048: sector 8192
    none.Take(DriveSector(904), file,
              RecordBuilder(1).NonResident(attribute_type::kData, farRuns, 100).Finished());
    EXPECT_TRUE(none.ShowAnotherVolume(*state, none.Volume(*state)));

    source->Place(100 * 16, IndxBlock(LastEntryBytes()));
    source->Place(200 * 16, IndxBlock(LastEntryBytes()));
    source->Place(200 * 4, IndxBlock(LastEntryBytes(), 8, 5));  // another block's vcn
    OlderVolumeClues indexed;
    indexed.Take(DriveSector(900), folder, OlderFolder(100));
    indexed.Take(DriveSector(902), folder, OlderFolder(200));
    EXPECT_EQ(indexed.Volume(*state).sectorsPerCluster, 16u);
    EXPECT_TRUE(indexed.Volume(*state).verified);
    EXPECT_TRUE(indexed.ShowAnotherVolume(*state, indexed.Volume(*state)));

    // A boot sector of another volume, met by the search, says where it began and its
    // cluster size; the folder's index block is found counted from there.
    state->foundBootSectors.push_back(FoundBootSector{DriveSector(512), 8, 4096, 4});
    source->Place(512 + 300 * 8, IndxBlock(LastEntryBytes()));
    OlderVolumeClues booted;
    booted.Take(DriveSector(900), folder, OlderFolder(300));
    const FoundVolume fromBoot = booted.Volume(*state);
    EXPECT_EQ(fromBoot.start.value(), 512u);
    EXPECT_EQ(fromBoot.sectorsPerCluster, 8u);
    EXPECT_TRUE(fromBoot.verified);

    // $MFT's record at sector 64 over its first cluster 4, and its copy at sector 2048
    // over $MFTMirr's cluster 128: 16 sectors.
    FoundRecordOrigin mft = folder;
    mft.number = 0;
    FoundRecordOrigin mirror = folder;
    mirror.number = 1;
    const Bytes mftRuns = {0x21, 0x10, 0x04, 0x00, 0x00};
    const Bytes mirrorRuns = {0x21, 0x01, 0x80, 0x00, 0x00};
    OlderVolumeClues records;
    records.Take(DriveSector(64), mft,
                 RecordBuilder(1).NonResident(attribute_type::kData, mftRuns, 16384).Finished());
    records.Take(DriveSector(2048), mft,
                 RecordBuilder(1).NonResident(attribute_type::kData, mftRuns, 16384).Finished());
    records.Take(DriveSector(66), mirror,
                 RecordBuilder(1).NonResident(attribute_type::kData, mirrorRuns, 4096).Finished());
    EXPECT_EQ(records.Volume(*state).sectorsPerCluster, 16u);
    EXPECT_TRUE(records.Volume(*state).verified);
}

}  // namespace
}  // namespace tarvik
