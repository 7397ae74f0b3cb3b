#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "partition/crc32.h"
#include "partition/gpt_drives.h"
#include "partition/gpt_header.h"
#include "partition/gpt_table.h"
#include "partition/partition_types.h"
#include "partition/partition_walk.h"
#include "temp_image.h"

namespace tarvik {
namespace {

using testing::PartitionTableBytes;
using testing::TempImage;

void PutLe(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct TestPartition {
    GptGuid type;
    std::uint64_t first;
    std::uint64_t last;
    std::u16string name;
};

// A disk of `lbas` logical sectors of `sectorSize` bytes with both GPT copies written
// as a partitioning tool writes them: 128 entries of 128 bytes after each header.
class GptDisk {
  public:
    GptDisk(std::uint64_t lbas, std::uint32_t sectorSize, const std::vector<TestPartition>& parts)
        : bytes(lbas * sectorSize), size_(sectorSize), lbas_(lbas) {
        std::vector<std::uint8_t> entries(128 * 128);
        for (std::size_t n = 0; n < parts.size(); ++n) {
            const std::size_t base = n * 128;
            std::memcpy(&entries[base], parts[n].type.data(), 16);
            PutLe(entries, base + 0x20, parts[n].first, 8);
            PutLe(entries, base + 0x28, parts[n].last, 8);
            for (std::size_t c = 0; c < parts[n].name.size(); ++c)
                PutLe(entries, base + 0x38 + 2 * c, parts[n].name[c], 2);
        }
        const std::uint64_t arrayLbas = entries.size() / sectorSize;
        WriteCopy(1, lbas - 1, 2, entries);
        WriteCopy(lbas - 1, 1, lbas - 1 - arrayLbas, entries);
        const auto mbr = PartitionTableBytes({{0xEE, 1, static_cast<std::uint32_t>(lbas - 1)}});
        std::memcpy(bytes.data(), mbr.data(), mbr.size());
    }

    std::size_t HeaderOffset(std::uint64_t lba) const { return lba * size_; }
    DiskBytesReader Reader() {
        return [this](std::uint64_t offset, std::span<std::uint8_t> out) {
            if (offset >= bytes.size()) return false;
            const std::size_t n = std::min<std::size_t>(out.size(), bytes.size() - offset);
            std::memcpy(out.data(), bytes.data() + offset, n);
            std::memset(out.data() + n, 0, out.size() - n);
            return true;
        };
    }

    std::vector<std::uint8_t> bytes;

  private:
    void WriteCopy(std::uint64_t lba, std::uint64_t alternate, std::uint64_t arrayLba,
                   const std::vector<std::uint8_t>& entries) {
        std::memcpy(&bytes[arrayLba * size_], entries.data(), entries.size());
        std::vector<std::uint8_t> header(size_);
        std::memcpy(header.data(), "EFI PART", 8);
        PutLe(header, 0x08, 0x00010000, 4);
        PutLe(header, 0x0C, 92, 4);
        PutLe(header, 0x18, lba, 8);
        PutLe(header, 0x20, alternate, 8);
        PutLe(header, 0x28, 34, 8);
        PutLe(header, 0x30, lbas_ - 34, 8);
        PutLe(header, 0x48, arrayLba, 8);
        PutLe(header, 0x50, 128, 4);
        PutLe(header, 0x54, 128, 4);
        PutLe(header, 0x58, Crc32(entries), 4);
        PutLe(header, 0x10, Crc32(std::span(header.data(), 92)), 4);
        std::memcpy(&bytes[lba * size_], header.data(), header.size());
    }

    std::uint32_t size_;
    std::uint64_t lbas_;
};

const std::vector<TestPartition> kTwoPartitions = {
    {kGptEfiSystem, 40, 99, u"EFI system partition"},
    {kGptBasicData, 100, 299, u"Donn\u00e9es \u65e5\u672c"},
};

TEST(Crc32, MatchesTheStandardCheckValue) {
    const std::string text = "123456789";
    EXPECT_EQ(Crc32(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())),
              0xCBF43926u);
}

// Which copy is read, and what the entries say, for every kind of damage.
TEST(GptTable, PrimaryThenBackupCopyAsDamageRequires) {
    GptDisk intact(400, 512, kTwoPartitions);
    auto table = FindGptTable(intact.Reader(), intact.bytes.size(), std::nullopt);
    ASSERT_TRUE(table);
    EXPECT_FALSE(table->fromBackup);
    ASSERT_EQ(table->partitions.size(), 2u);
    EXPECT_EQ(table->partitions[1].name,
              "Donn\xC3\xA9"
              "es \xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(table->partitions[1].firstLba, 100u);
    EXPECT_EQ(table->partitions[1].lastLba, 299u);

    GptDisk badHeader(400, 512, kTwoPartitions);
    badHeader.bytes[512 + 0x20] ^= 1;  // the header CRC no longer matches
    table = FindGptTable(badHeader.Reader(), badHeader.bytes.size(), std::nullopt);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->fromBackup);
    EXPECT_EQ(table->partitions.size(), 2u);

    GptDisk badArray(400, 512, kTwoPartitions);
    badArray.bytes[2 * 512 + 0x38] ^= 1;  // a name byte of the primary array
    table = FindGptTable(badArray.Reader(), badArray.bytes.size(), std::nullopt);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->fromBackup);
    EXPECT_EQ(table->partitions[0].name, "EFI system partition");

    GptDisk both(400, 512, kTwoPartitions);
    both.bytes[512 + 0x20] ^= 1;
    both.bytes[399 * 512 + 0x20] ^= 1;
    EXPECT_FALSE(FindGptTable(both.Reader(), both.bytes.size(), std::nullopt));

    // A header whose own LBA field names another place is a stray copy.
    GptDisk moved(400, 512, kTwoPartitions);
    std::memcpy(&moved.bytes[512], &moved.bytes[399 * 512], 512);
    std::memset(&moved.bytes[399 * 512], 0, 512);
    EXPECT_FALSE(FindGptTable(moved.Reader(), moved.bytes.size(), std::nullopt));
}

// A 4Kn image tells its sector size only by where the header lies; the entries' LBAs
// are then 4096-byte sectors, eight of the program's units each.
TEST(GptTable, FourKilobyteSectorsAreFoundAndConverted) {
    GptDisk disk(400, 4096, kTwoPartitions);
    const auto table = FindGptTable(disk.Reader(), disk.bytes.size(), std::nullopt);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->sectorSize, 4096u);
    const auto extent = ExtentInUnits(table->partitions[1], table->sectorSize);
    ASSERT_TRUE(extent);
    EXPECT_EQ(extent->start, 800u);
    EXPECT_EQ(extent->end, 2400u);
    EXPECT_FALSE(ReadGptTable(disk.Reader(), disk.bytes.size(), 512));

    GptEntry huge;
    huge.firstLba = std::uint64_t{1} << 61;
    huge.lastLba = ~std::uint64_t{0} - 1;
    EXPECT_FALSE(ExtentInUnits(huge, 4096));
}

TEST(GptHeader, RefusesSizesThatCannotBeRead) {
    GptDisk disk(400, 512, kTwoPartitions);
    std::vector<std::uint8_t> header(disk.bytes.begin() + 512, disk.bytes.begin() + 1024);
    ASSERT_TRUE(GptHeader::Parse(ByteView(header.data(), header.size())));
    const auto reseal = [](std::vector<std::uint8_t> bytes) {
        PutLe(bytes, 0x10, 0, 4);
        PutLe(bytes, 0x10, Crc32(std::span(bytes.data(), 92)), 4);
        return bytes;
    };
    auto bigCount = header;
    PutLe(bigCount, 0x50, 0x40000000, 4);
    EXPECT_FALSE(GptHeader::Parse(ByteView(reseal(bigCount))));
    auto oddSize = header;
    PutLe(oddSize, 0x54, 130, 4);
    EXPECT_FALSE(GptHeader::Parse(ByteView(reseal(oddSize))));
    auto longHeader = header;
    PutLe(longHeader, 0x0C, 600, 4);  // longer than its sector
    EXPECT_FALSE(GptHeader::Parse(ByteView(reseal(longHeader))));
    EXPECT_FALSE(GptHeader::Parse(ByteView(header.data(), 91)));
}

TEST(GptDrives, DataPartitionsAreNtfsUnlessTheirBootSectorSaysOtherwise) {
    GptEntry data;
    data.type = kGptBasicData;
    data.name = "Data";
    const GptExtent extent{2048, 4096};
    std::vector<std::uint8_t> boot(512, 0);
    std::memcpy(&boot[3], "NTFS    ", 8);
    LogicalDriveEntry drive = ClassifyGptPartition(data, extent, ByteView(boot));
    EXPECT_EQ(+drive.partitionType, +kTypeNtfs);
    EXPECT_TRUE(IsScannedType(drive.partitionType));
    EXPECT_EQ(drive.gptName, "Data");
    EXPECT_EQ(DriveFileSystemName(drive), "NTFS");
    EXPECT_EQ(drive.sizeInSectors(), 2048u);

    // Unreadable or wiped: still NTFS, so the scan can try the backup boot sector.
    EXPECT_EQ(+ClassifyGptPartition(data, extent, ByteView()).partitionType, +kTypeNtfs);

    std::memcpy(&boot[0x52], "FAT32   ", 8);
    std::memcpy(&boot[3], "MSDOS5.0", 8);
    drive = ClassifyGptPartition(data, extent, ByteView(boot));
    EXPECT_EQ(DriveFileSystemName(drive), "FAT 32");
    EXPECT_FALSE(IsScannedType(drive.partitionType));

    std::fill(boot.begin(), boot.end(), 0);
    std::memcpy(&boot[3], "EXFAT   ", 8);
    EXPECT_EQ(DriveFileSystemName(ClassifyGptPartition(data, extent, ByteView(boot))), "EXFAT");

    GptEntry efi = data;
    efi.type = kGptEfiSystem;
    drive = ClassifyGptPartition(efi, extent, ByteView());
    EXPECT_EQ(DriveFileSystemName(drive), "EFI SYSTEM");
    EXPECT_FALSE(IsScannedType(drive.partitionType));
}

class CountingNotifier : public Notifier {
  public:
    void Notify(const std::string&, const std::string&, NoticeIcon) override { ++count; }
    int count = 0;
};

std::vector<LogicalDriveEntry> WalkBytes(const std::vector<std::uint8_t>& bytes,
                                         CountingNotifier& notifier) {
    TempImage image;
    image.WriteBytes(0, bytes.data(), bytes.size());
    const auto disks = testing::ImageDisks({image.path()});
    DriveList list;
    StartPartitionWalk(*disks[0], list, notifier);
    return list.Entries();
}

// What the MBR in front of a GPT leads to: protective and hybrid entries both lead to
// the GPT; when both GPT copies are damaged, a hybrid MBR's own entries are read and a
// protective one leaves the bad-table message (and the search) as before.
TEST(GptWalk, MbrInFrontDecidesWhatIsReadWhenGptIsDamaged) {
    GptDisk disk(400, 512, kTwoPartitions);
    CountingNotifier protective;
    auto drives = WalkBytes(disk.bytes, protective);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(protective.count, 0);
    EXPECT_EQ(drives[1].startSector, 100u);
    EXPECT_EQ(drives[1].endSector, 300u);
    EXPECT_TRUE(drives[1].fromGpt);

    GptDisk hybrid(400, 512, kTwoPartitions);
    const auto mbr = PartitionTableBytes({{0xEE, 1, 99}, {0x07, 100, 200}});
    std::memcpy(hybrid.bytes.data(), mbr.data(), mbr.size());
    CountingNotifier hybridNotices;
    drives = WalkBytes(hybrid.bytes, hybridNotices);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].gptName, "EFI system partition");
    hybrid.bytes[512 + 0x20] ^= 1;
    hybrid.bytes[399 * 512 + 0x20] ^= 1;
    drives = WalkBytes(hybrid.bytes, hybridNotices);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_FALSE(drives[0].fromGpt);
    EXPECT_EQ(hybridNotices.count, 0);

    disk.bytes[512 + 0x20] ^= 1;
    CountingNotifier backup;
    EXPECT_EQ(WalkBytes(disk.bytes, backup).size(), 2u);
    EXPECT_EQ(backup.count, 1);  // the backup copy was read: said, as information
    disk.bytes[399 * 512 + 0x20] ^= 1;
    CountingNotifier broken;
    EXPECT_TRUE(WalkBytes(disk.bytes, broken).empty());
    EXPECT_EQ(broken.count, 1);

    GptDisk wipedMbr(400, 512, kTwoPartitions);
    std::memset(wipedMbr.bytes.data(), 0, 512);
    CountingNotifier wiped;
    EXPECT_EQ(WalkBytes(wipedMbr.bytes, wiped).size(), 2u);
    EXPECT_EQ(wiped.count, 0);
}

}  // namespace
}  // namespace tarvik
