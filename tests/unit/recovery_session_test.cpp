#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scan/scan_engine.h"
#include "session/recovery_session.h"
#include "shared_images.h"
#include "temp_image.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::TempImage;

class CountingNotifier final : public Notifier {
  public:
    void Notify(const std::string& text, const std::string& caption, NoticeIcon) override {
        notices.push_back(caption + ": " + text);
    }
    std::vector<std::string> notices;
};

constexpr std::uint32_t kNtfsStart = 4096;
const std::string kFatDrive = "Invalid Drive: Use Corvane Miravel FAT to Recover FAT Drive";

// A disk whose table holds a FAT32 drive and, after it, the DFTT deleted-files volume
// written by Windows XP.
class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto volume = testing::SharedImageBytes("dftt-7-undel-ntfs.dd");
        if (!volume) TARVIK_SKIP_WITHOUT_SHARED_DATA("dftt-7-undel-ntfs.dd.xz");
        const auto sectors = static_cast<std::uint32_t>(volume->size() / 512);
        disk_ = std::make_unique<TempImage>(kNtfsStart + sectors);
        disk_->WriteSector(
            0, testing::PartitionTableBytes({{0x0B, 2048, 1024}, {0x07, kNtfsStart, sectors}}));
        disk_->WriteBytes(std::uint64_t{kNtfsStart} * 512, volume->data(), volume->size());
        blank_ = std::make_unique<TempImage>(256);
        out_ = fs::temp_directory_path() / ("tarvik-session-" + std::to_string(::getpid()));
        fs::remove_all(out_);
        ::unsetenv("TARVIK_DISKS");
        ASSERT_EQ(session_.LoadDisks({disk_->path(), blank_->path()}, false), std::nullopt);
    }
    void TearDown() override { fs::remove_all(out_); }

    std::unique_ptr<TempImage> disk_;
    std::unique_ptr<TempImage> blank_;
    fs::path out_;
    RecoverySession session_;
    NullProgressSink progress_;
    CountingNotifier notifier_;
};

TEST_F(SessionTest, FromTheDiskToTheSelectedFileOfTheChosenDrive) {
    ASSERT_TRUE(session_.FindDrives(0, DriveDiscovery::kPartitionTable, progress_, notifier_));
    ASSERT_EQ(session_.Drives().size(), 2u);
    EXPECT_EQ(session_.FirstNtfsDrive(), 1u);

    EXPECT_EQ(session_.OpenDrive(0, notifier_), DriveOpening::kNotNtfs);
    EXPECT_EQ(notifier_.notices, std::vector<std::string>{kFatDrive});
    EXPECT_FALSE(session_.HasDrive());
    EXPECT_EQ(session_.OpenDrive(2, notifier_), DriveOpening::kNoSuchDrive);

    ASSERT_EQ(session_.OpenDrive(1, notifier_), DriveOpening::kOpened);
    session_.Scan(progress_, notifier_);
    const DriveProperties properties = session_.Properties();
    EXPECT_EQ(properties.partitionStart, kNtfsStart);
    EXPECT_EQ(properties.sectorsPerCluster, 2u);
    EXPECT_GE(properties.deletedFiles, 8u);
    // Select All selects exactly the drive's total, a lost folder and the file it holds
    // included.
    session_.Checks().SetAllChecked(true);
    const SelectionTotals all = session_.Checks().Totals();
    EXPECT_EQ(all.files, properties.totalFiles);
    EXPECT_EQ(all.folders, properties.totalDirectories);
    EXPECT_EQ(all.bytes, properties.totalBytes);

    ASSERT_EQ(session_.Checks().SelectPaths({"Root/dir1", "Root/frag1.dat"}), std::nullopt);
    EXPECT_EQ(session_.Checks().Totals().files, 3u);  // frag1, mult2 and dir2's frag3
    auto filter = std::make_unique<FileFilter>();
    ASSERT_TRUE(filter->AddPattern("mult2.*"));
    filter->SetMode(FilterMode::kExclude);
    session_.SetFileFilter(std::move(filter));

    const RecoveryResult result =
        session_.Recover(out_.string(), RecoveryMode::kSelected, progress_, notifier_);
    EXPECT_EQ(result.filesWritten, 2u);
    EXPECT_EQ(result.skippedFiltered, 1u);
    EXPECT_EQ(fs::file_size(out_ / "Root/frag1.dat"), 1584u);
    EXPECT_EQ(fs::file_size(out_ / "Root/dir1/dir2/frag3.dat"), 2027u);
    EXPECT_FALSE(fs::exists(out_ / "Root/dir1/mult2.dat"));
    EXPECT_FALSE(fs::exists(out_ / "Root/sing1.dat"));
}

TEST_F(SessionTest, ACancelledChoiceBringsTheDriveListBackAndANewDriveStartsClean) {
    ASSERT_TRUE(session_.FindDrives(0, DriveDiscovery::kPartitionTable, progress_, notifier_));
    ASSERT_EQ(session_.OpenDrive(1, notifier_), DriveOpening::kOpened);
    session_.Scan(progress_, notifier_);
    session_.SetFileFilter(std::make_unique<FileFilter>());

    // The blank disk: the walk finds no table, the search no volume.
    notifier_.notices.clear();
    EXPECT_FALSE(session_.FindDrives(1, DriveDiscovery::kPartitionTable, progress_, notifier_));
    EXPECT_EQ(
        notifier_.notices,
        (std::vector<std::string>{
            "Corrupted Partition Table: Bad Partition Table, Searching Logical Drive", kFatDrive}));
    ASSERT_TRUE(session_.RestorePreviousDrives());
    EXPECT_EQ(session_.Drives().size(), 2u);
    EXPECT_TRUE(session_.HasDrive());
    EXPECT_TRUE(session_.HoldsFileFilter());

    ASSERT_TRUE(session_.FindDrives(0, DriveDiscovery::kSearchDisk, progress_, notifier_));
    ASSERT_EQ(session_.Drives().size(), 1u);  // the search finds only the NTFS volume
    EXPECT_EQ(session_.Drives()[0].startSector, kNtfsStart);
    ASSERT_EQ(session_.OpenDrive(0, notifier_), DriveOpening::kOpened);
    EXPECT_FALSE(session_.HoldsFileFilter());
    EXPECT_FALSE(session_.RestorePreviousDrives());
}

}  // namespace
}  // namespace tarvik
