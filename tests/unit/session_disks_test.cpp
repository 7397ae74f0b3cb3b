// The session's disk list and drive lists as the desktop program walks them: images
// added one at a time, disks that cannot be opened, the walk without the search, and
// a cancelled choice on another disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "disk/disk_check.h"
#include "session/recovery_session.h"
#include "temp_image.h"

namespace tarvik {
namespace {

using testing::TempImage;

class RecordingNotifier final : public Notifier {
  public:
    void Notify(const std::string& text, const std::string& caption, NoticeIcon) override {
        notices.push_back(caption + ": " + text);
    }
    std::vector<std::string> notices;
};

// A disk with one partition table entry of `type` at sector 64 and nothing behind it.
std::unique_ptr<TempImage> DiskWithEntry(std::uint8_t type, std::uint32_t start,
                                         std::uint32_t size) {
    auto disk = std::make_unique<TempImage>(start + size + 64);
    disk->WriteSector(0, testing::PartitionTableBytes({{type, start, size}}));
    return disk;
}

class SessionDisksTest : public ::testing::Test {
  protected:
    void SetUp() override { ::unsetenv("TARVIK_DISKS"); }
    RecoverySession session_;
    NullProgressSink progress_;
    RecordingNotifier notifier_;
};

TEST_F(SessionDisksTest, AnAddedImageGoesToTheEndOnceAndAnUnusablePathIsRefused) {
    TempImage first(64), second(64);
    ASSERT_EQ(session_.LoadDisks({first.path()}, false), std::nullopt);
    std::size_t disk = 99;
    ASSERT_EQ(session_.AddDisk(second.path(), disk), std::nullopt);
    EXPECT_EQ(disk, 1u);
    ASSERT_EQ(session_.AddDisk(first.path(), disk), std::nullopt);
    EXPECT_EQ(disk, 0u);
    const auto disks = session_.ListDisks();
    ASSERT_EQ(disks.size(), 2u);
    EXPECT_EQ(disks[1].model, "DISK IMAGE");
    EXPECT_EQ(disks[1].serial, std::filesystem::path(second.path()).filename().string());

    EXPECT_NE(session_.AddDisk("/nonexistent/disk.img", disk), std::nullopt);
    EXPECT_NE(session_.AddDisk(std::filesystem::temp_directory_path().string(), disk),
              std::nullopt);
    EXPECT_EQ(session_.ListDisks().size(), 2u);
}

TEST_F(SessionDisksTest, DisksThatCannotBeOpenedAreLeftOutAndSaidInOneLine) {
    TempImage readable(64);
    ::setenv("TARVIK_DISKS", "/nonexistent/gone.img", 1);
    ASSERT_EQ(session_.LoadDisks({readable.path()}, false), std::nullopt);
    ::unsetenv("TARVIK_DISKS");
    EXPECT_EQ(session_.ListDisks().size(), 1u);
    const auto note = session_.UnreadableDisksNote();
    ASSERT_TRUE(note);
    EXPECT_EQ(*note, "1 disk cannot be read (/nonexistent/gone.img: No such file or directory).");

    const auto denied = DescribeUnreadableDisks(
        {{"/dev/sda", EACCES}, {"/dev/sdb", EACCES}, {"/dev/sdc", ENOMEDIUM}});
    ASSERT_TRUE(denied);
    EXPECT_EQ(denied->find('\n'), std::string::npos);
    EXPECT_EQ(denied->rfind("3 disks cannot be read (/dev/sda, /dev/sdb: Permission denied; "
                            "/dev/sdc: No medium found). ",
                            0),
              0u);
    // What to do depends on who asks: root cannot be told to become root.
    EXPECT_NE(denied->find(::geteuid() == 0 ? "even to root" : "add your user to the 'disk' group"),
              std::string::npos);
    EXPECT_EQ(DescribeUnreadableDisks({}), std::nullopt);

    ASSERT_EQ(session_.LoadDisks({readable.path()}, false), std::nullopt);
    EXPECT_EQ(session_.UnreadableDisksNote(), std::nullopt);
}

TEST_F(SessionDisksTest, TheWalkAloneAnnouncesAnEmptyTableAndSearchesNothing) {
    TempImage blank(4096);
    ASSERT_EQ(session_.LoadDisks({blank.path()}, false), std::nullopt);
    EXPECT_FALSE(session_.FindDrives(0, DriveDiscovery::kPartitionTableOnly, progress_, notifier_));
    ASSERT_EQ(notifier_.notices.size(), 1u);
    EXPECT_EQ(notifier_.notices[0],
              "Corrupted Partation Table: Bad Partition Table, Searching Logical Drive");
    EXPECT_TRUE(session_.Drives().empty());
}

TEST_F(SessionDisksTest, ACancelledChoiceOnAnotherDiskBringsBackTheFirstDisksListAndDisk) {
    const auto ntfs = DiskWithEntry(0x07, 128, 4096);
    std::vector<std::uint8_t> boot(512, 0);
    std::memcpy(&boot[3], "NTFS    ", 8);
    boot[0x0D] = 8;
    boot[0x1FE] = 0x55;
    boot[0x1FF] = 0xAA;
    ntfs->WriteSector(128, boot);
    const auto fat = DiskWithEntry(0x0B, 64, 2048);
    ASSERT_EQ(session_.LoadDisks({ntfs->path(), fat->path()}, false), std::nullopt);
    ASSERT_TRUE(session_.FindDrives(0, DriveDiscovery::kPartitionTableOnly, progress_, notifier_));
    ASSERT_TRUE(session_.FindDrives(1, DriveDiscovery::kPartitionTableOnly, progress_, notifier_));
    const auto listed = session_.ListDrives();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_FALSE(listed[0].scannable);
    EXPECT_EQ(listed[0].sizeText, "1MB");

    ASSERT_TRUE(session_.RestorePreviousDrives());
    const auto restored = session_.ListDrives();
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0].fileSystem, "NTFS");
    EXPECT_EQ(restored[0].startSector, 128u);
    EXPECT_TRUE(restored[0].scannable);
    // The restored list's drive is opened on the disk it was found on.
    ASSERT_EQ(session_.OpenDrive(0, notifier_), DriveOpening::kOpened);
    EXPECT_EQ(session_.Properties().driveCode, 0x80);
    EXPECT_EQ(session_.Properties().partitionStart, 128u);
}

TEST_F(SessionDisksTest, ASearchThatFindsNothingLeavesNoDrivesOfTheDiskBefore) {
    const auto fat = DiskWithEntry(0x0B, 64, 2048);
    TempImage blank(2048);
    ASSERT_EQ(session_.LoadDisks({fat->path(), blank.path()}, false), std::nullopt);
    ASSERT_TRUE(session_.FindDrives(0, DriveDiscovery::kPartitionTableOnly, progress_, notifier_));
    EXPECT_FALSE(session_.FindDrives(1, DriveDiscovery::kSearchDisk, progress_, notifier_));
    EXPECT_TRUE(session_.Drives().empty());
    EXPECT_EQ(notifier_.notices.back(),
              "Invalid Drive: Use Corvane Miravel FAT to Recover FAT Drive");
}

}  // namespace
}  // namespace tarvik
