#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "partition/logical_drive_search.h"
#include "partition/search_record_name.h"
#include "temp_image.h"

namespace tarvik {
namespace {

using testing::PutLe32;
using testing::TempImage;

constexpr std::uint32_t kSpc = 8;
constexpr std::uint32_t kMftCluster = 4;
constexpr std::uint32_t kMirrorCluster = 20;

std::vector<std::uint8_t> BootSector(std::uint32_t totalSectors) {
    std::vector<std::uint8_t> boot(512, 0);
    std::memcpy(&boot[3], "NTFS    ", 8);
    boot[0x0C] = 0x02;
    boot[0x0D] = kSpc;
    PutLe32(boot, 0x28, totalSectors);
    PutLe32(boot, 0x30, kMftCluster);
    PutLe32(boot, 0x38, kMirrorCluster);
    boot[510] = 0x55;
    boot[511] = 0xAA;
    return boot;
}

// A FILE record whose first attribute is a $FILE_NAME holding `name`.
std::vector<std::uint8_t> NamedRecord(const std::string& name, std::uint8_t nameSpace = 3) {
    std::vector<std::uint8_t> record(1024, 0);
    std::memcpy(record.data(), "FILE", 4);
    record[0x14] = 0x38;
    const std::size_t attribute = 0x38;
    record[attribute] = 0x30;
    record[attribute + 4] = 0x68;
    record[attribute + 0x58] = static_cast<std::uint8_t>(name.size());
    record[attribute + 0x59] = nameSpace;
    for (std::size_t i = 0; i < name.size(); ++i) record[attribute + 0x5A + 2 * i] = name[i];
    record[attribute + 0x68] = 0xFF;
    return record;
}

void PutVolume(TempImage& image, std::uint64_t start, std::uint32_t total, bool firstSectorLost) {
    if (!firstSectorLost) image.WriteSector(start, BootSector(total));
    image.WriteSector(start + total, BootSector(total));  // the backup at the volume's end
    image.WriteSector(start + kSpc * kMftCluster, NamedRecord("$MFT"));
}

class RecordingProgress : public NullProgressSink {
  public:
    void SetText(int slot, const std::string& text) override {
        if (slot == kSlotSearchFound && text == "1" && stopAtFirstFind) *stopAtFirstFind = true;
    }
    StopFlag* stopAtFirstFind = nullptr;
};

TEST(LogicalDriveSearch, FindsEachVolumeOnceFromItsBootSectorOrItsBackup) {
    TempImage image(20000);
    PutVolume(image, 2048, 4000, false);
    PutVolume(image, 9000, 6000, true);  // first sector destroyed: found through the backup
    const auto disks = testing::ImageDisks({image.path()});
    FoundDriveTable table;
    NullProgressSink progress;
    SearchLogicalDrives(disks[0], table, progress);
    ASSERT_EQ(table.Count(), 2u);
    EXPECT_EQ(table.Drives()[0], (FoundDrive{2048, 4000}));
    EXPECT_EQ(table.Drives()[1], (FoundDrive{9000, 6000}));

    DriveList list;
    RebuildDriveListFromSearch(table, list);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.EntryAt(1)->endSector, 15001u);  // the backup boot sector belongs to the drive
    EXPECT_EQ(list.EntryAt(1)->partitionType, 0x07);
}

TEST(LogicalDriveSearch, ExaminesTheLastPartialChunkOfADiskNotAMultipleOf63) {
    // 63 x 100 + 17 sectors; the only copy of the boot sector is the disk's last sector.
    TempImage image(6317);
    PutVolume(image, 316, 6000, true);
    const auto disks = testing::ImageDisks({image.path()});
    FoundDriveTable table;
    NullProgressSink progress;
    SearchLogicalDrives(disks[0], table, progress);
    ASSERT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.Drives()[0], (FoundDrive{316, 6000}));
}

TEST(LogicalDriveSearch, AbortAfterTheFirstFindKeepsExactlyThatFind) {
    TempImage image(20000);
    PutVolume(image, 2048, 4000, false);
    PutVolume(image, 9000, 6000, false);
    const auto disks = testing::ImageDisks({image.path()});
    FoundDriveTable table;
    StopFlag stop{false};
    RecordingProgress progress;
    progress.stopAtFirstFind = &stop;
    SearchLogicalDrives(disks[0], table, progress, {&stop, nullptr});
    ASSERT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.Drives()[0].startSector, 2048u);
}

TEST(LogicalDriveSearch, VolumesPast32BitsAreConfirmedAtTheirOwnPlace) {
    constexpr std::uint64_t kStart = 0x100000000ull + 100;
    TempImage image(kStart + 5000);  // sparse
    PutVolume(image, kStart, 4000, false);
    const auto disks = testing::ImageDisks({image.path()});
    Disk& disk = *disks[0];
    FoundDriveTable table;
    const auto boot = BootSector(4000);
    EXPECT_TRUE(TestBootSectorCandidate(disk, DiskSector(kStart), boot.data(), table));
    FoundDriveTable fromBackup;
    EXPECT_TRUE(TestBootSectorCandidate(disk, DiskSector(kStart + 4000), boot.data(), fromBackup));
    EXPECT_EQ(fromBackup.Drives(), table.Drives());
    ASSERT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.Drives()[0], (FoundDrive{kStart, 4000}));

    DriveList list;
    RebuildDriveListFromSearch(table, list);
    EXPECT_EQ(list.EntryAt(0)->endSector, kStart + 4001);
}

// Counts the chunks the search has gone through.
class ChunkCounter : public NullProgressSink {
  public:
    void SetPosition(std::uint64_t position) override { chunks = position; }
    std::atomic<std::uint64_t> chunks{0};
};

TEST(LogicalDriveSearch, StopRequestEndsTheSearchOfALargeDiskWithinASecond) {
    TempImage image(std::uint64_t{64} << 21);  // 64 GiB, sparse: far longer than a second
    const auto disks = testing::ImageDisks({image.path()});
    FoundDriveTable table;
    ChunkCounter progress;
    StopFlag stop{false};
    std::thread search([&] { SearchLogicalDrives(disks[0], table, progress, {&stop, nullptr}); });
    while (progress.chunks < 1000) std::this_thread::yield();
    const auto asked = std::chrono::steady_clock::now();
    stop = true;
    search.join();
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_LT(progress.chunks, (std::uint64_t{64} << 21) / 63);
}

TEST(LogicalDriveSearch, BootSectorWhoseMftRecordIsAnotherFileIsNotAVolume) {
    TempImage image(20000);
    image.WriteSector(2048, BootSector(4000));
    image.WriteSector(2048 + kSpc * kMftCluster,
                      NamedRecord("$MFTMirr"));  // a name, but not $MFT's
    image.WriteSector(3000, BootSector(4000));
    image.WriteSector(3000 + kSpc * kMftCluster, NamedRecord("notes.txt"));
    image.WriteSector(3000 + kSpc * kMirrorCluster, NamedRecord("$MFT"));  // never looked at
    const auto disks = testing::ImageDisks({image.path()});
    FoundDriveTable table;
    NullProgressSink progress;
    SearchLogicalDrives(disks[0], table, progress);
    ASSERT_EQ(table.Count(), 1u);  // "$MFTMirr" begins with "$MFT": four characters compared
    EXPECT_EQ(table.Drives()[0].startSector, 2048u);
}

TEST(SearchRecordName, TakesTheNameAfterAWin32OnlyNameAndStopsAtTheAttributeLimit) {
    auto record = NamedRecord("$MFT", 1);
    // The attribute after the Win32-only name holds the DOS name the search reads.
    const std::size_t next = 0x38 + 0x68;
    record[next] = 0x30;
    record[next + 4] = 0x68;
    record[next + 0x58] = 3;
    record[next + 0x59] = 2;
    record[next + 0x5A] = 'A';
    record[next + 0x5C] = 'B';
    record[next + 0x5E] = 'C';
    EXPECT_EQ(SearchRecordName(ByteView(record.data(), record.size())), "ABC");

    std::vector<std::uint8_t> looping(1024, 0);
    std::memcpy(looping.data(), "FILE", 4);
    looping[0x14] = 0x38;
    looping[0x38] = 0x10;  // a zero length would examine the same attribute again and again
    EXPECT_FALSE(SearchRecordName(ByteView(looping.data(), looping.size())));
}

}  // namespace
}  // namespace tarvik
