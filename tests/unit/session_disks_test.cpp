// The session's disk list and drive lists beyond what the desktop program's flow tests
// reach: disks that cannot be opened, and a search that finds nothing on another disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

TEST_F(SessionDisksTest, ADiskOverTwoTebibytesIsListedWithAllItsSectors) {
    const std::uint64_t sectors = 3ull << 31;  // 3 TiB, sparse: it costs no space
    TempImage big(sectors);
    ASSERT_EQ(session_.LoadDisks({big.path()}, false), std::nullopt);
    const auto disks = session_.ListDisks();
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0].sectors, sectors);
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

// Each session holds its own disks and drive lists: a second session (as the search of
// previous versions opens on a worker) changing its list leaves the first one's alone.
TEST_F(SessionDisksTest, EachSessionKeepsItsOwnDisksAndDriveLists) {
    const auto ntfs = DiskWithEntry(0x07, 64, 2048);
    TempImage blank(2048);
    ASSERT_EQ(session_.LoadDisks({ntfs->path()}, false), std::nullopt);
    ASSERT_TRUE(session_.FindDrives(0, DriveDiscovery::kPartitionTableOnly, progress_, notifier_));
    ASSERT_TRUE(session_.FindDrives(0, DriveDiscovery::kPartitionTableOnly, progress_, notifier_));

    RecoverySession other;
    ASSERT_EQ(other.LoadDisks({blank.path()}, false), std::nullopt);
    EXPECT_FALSE(other.FindDrives(0, DriveDiscovery::kSearchDisk, progress_, notifier_));
    other.CloseDrive();

    EXPECT_EQ(session_.ListDisks().at(0).path, ntfs->path());
    ASSERT_EQ(session_.Drives().size(), 1u);
    EXPECT_EQ(session_.Drives()[0].startSector, 64u);
    EXPECT_TRUE(session_.RestorePreviousDrives());
}

}  // namespace
}  // namespace tarvik
