// The Volume Shadow Copy header, the store opened over a volume's sectors (a real Windows
// 7 volume, then its header and catalogue damaged), and the naming and choice of the
// older versions a recovery writes beside the live files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "disk/disk_image.h"
#include "disk/memory_sector_source.h"
#include "disk/shadow_copy_store.h"
#include "disk/vss_volume_header.h"
#include "recovery/file_versions.h"
#include "session/recovery_session.h"
#include "session/version_marks.h"
#include "shared_images.h"

namespace tarvik {
namespace {

constexpr std::uint64_t kCopy1Time = 130305261097363787ull;  // 2013-12-03 06:35:09 UTC
constexpr std::uint64_t kCopy2Time = 130305262689190583ull;  // 2013-12-03 06:37:48 UTC

// A volume read from an image through the program's own image readers.
class ImageSectorSource final : public SectorSource {
  public:
    explicit ImageSectorSource(std::unique_ptr<DiskImage> image) : image_(std::move(image)) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        return image_->ReadAt(sector.value() * 512, buffer) ==
               static_cast<long long>(buffer.size());
    }

  private:
    std::unique_ptr<DiskImage> image_;
};

std::string VssImage() {
    return std::string(TARVIK_SHARED_DIR) + "/testdata/vsstest.qcow2";
}

// A volume of 8 MiB whose header at 0x1E00 names a catalogue at 1 MiB.
std::vector<std::uint8_t> VolumeWithHeader(std::uint64_t catalogue) {
    std::vector<std::uint8_t> volume(8u << 20, 0);
    volume[12] = 2;  // 512 bytes per sector
    volume[13] = 8;  // sectors per cluster
    std::uint8_t* header = volume.data() + VssVolumeHeader::kVolumeOffset;
    std::copy(std::begin(VssVolumeHeader::kIdentifier), std::end(VssVolumeHeader::kIdentifier),
              header);
    header[16] = 1;  // version
    header[20] = 1;  // volume header
    for (int i = 0; i < 8; ++i) header[48 + i] = static_cast<std::uint8_t>(catalogue >> (8 * i));
    return volume;
}

TEST(VssVolumeHeaderTest, TellsAHeaderWithACatalogueFromEverythingElse) {
    auto volume = VolumeWithHeader(0x100000);
    const ByteView bytes(volume.data() + VssVolumeHeader::kVolumeOffset, 512);
    const auto header = VssVolumeHeader::Parse(bytes);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->HasCatalogue());
    EXPECT_EQ(header->catalogueOffset, 0x100000u);
    // No copy was ever made: the header is there, the catalogue is not.
    const auto never = VolumeWithHeader(0);
    const auto empty =
        VssVolumeHeader::Parse(ByteView(never.data() + VssVolumeHeader::kVolumeOffset, 512));
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->HasCatalogue());
    EXPECT_FALSE(VssVolumeHeader::Parse(bytes.sub(0, 100)));  // cut short
    volume[VssVolumeHeader::kVolumeOffset + 3] ^= 1;          // another identifier
    EXPECT_FALSE(VssVolumeHeader::Parse(bytes));
    volume[VssVolumeHeader::kVolumeOffset + 3] ^= 1;
    volume[VssVolumeHeader::kVolumeOffset + 20] = 2;  // a catalogue block, not the header
    EXPECT_FALSE(VssVolumeHeader::Parse(bytes));
}

TEST(ShadowCopyStoreTest, AVolumeWithoutHeaderOrWithADamagedStoreGivesNoCopies) {
    // No header: nothing, and nothing to say.
    auto none = ShadowCopyStore::Open(
        std::make_unique<MemorySectorSource>(std::vector<std::uint8_t>(8u << 20)), 8u << 20);
    EXPECT_FALSE(none.store);
    EXPECT_TRUE(none.problem.empty());
    // A catalogue past the volume's end, and one of garbage: said, and skipped.
    auto past = ShadowCopyStore::Open(
        std::make_unique<MemorySectorSource>(VolumeWithHeader(1ull << 40)), 8u << 20);
    EXPECT_FALSE(past.store);
    EXPECT_NE(past.problem.find("damaged"), std::string::npos);
    auto garbage = VolumeWithHeader(0x100000);
    for (std::size_t i = 0x100000; i < 0x104000; ++i) garbage[i] = static_cast<std::uint8_t>(i * 7);
    auto damaged =
        ShadowCopyStore::Open(std::make_unique<MemorySectorSource>(std::move(garbage)), 8u << 20);
    EXPECT_FALSE(damaged.store);
    EXPECT_FALSE(damaged.problem.empty());
    // The library divides by the boot sector's sizes: a boot sector without them is refused
    // before the library reads it.
    auto noSizes = VolumeWithHeader(0x100000);
    noSizes[12] = 0;
    auto refused =
        ShadowCopyStore::Open(std::make_unique<MemorySectorSource>(std::move(noSizes)), 8u << 20);
    EXPECT_FALSE(refused.store);
    EXPECT_NE(refused.problem.find("boot sector"), std::string::npos);
}

TEST(ShadowCopyStoreTest, ListsAndReadsTheCopiesOfAWindowsVolume) {
    if (!std::filesystem::exists(VssImage())) TARVIK_SKIP_WITHOUT_SHARED_DATA("vsstest.qcow2");
    auto image = OpenDiskImage(VssImage()).image;
    ASSERT_TRUE(image);
    const std::uint64_t bytes = image->Size().value_or(0);
    const auto opening =
        ShadowCopyStore::Open(std::make_unique<ImageSectorSource>(std::move(image)), bytes);
    if (!ShadowCopyStore::Supported()) {
        EXPECT_NE(opening.problem.find("libvshadow-dev"), std::string::npos);
        return;
    }
    ASSERT_TRUE(opening.store) << opening.problem;
    const auto& copies = opening.store->Copies();
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0].creationTime, kCopy1Time);
    EXPECT_EQ(copies[1].creationTime, kCopy2Time);
    for (const ShadowCopyInfo& copy : copies) {
        auto source = opening.store->CopySource(copy.number);
        ASSERT_TRUE(source);
        std::array<std::uint8_t, 512> boot{};
        EXPECT_TRUE(source->Read(DriveSector(0), boot));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(boot.data()) + 3, 8), "NTFS    ");
        // Past the volume: zeros, and said.
        EXPECT_FALSE(source->Read(DriveSector(*source->SectorCount()), boot));
    }
    EXPECT_FALSE(opening.store->CopySource(3));
}

TEST(FileVersionsTest, VersionsAreNamedByTheMinuteTheirCopyWasMade) {
    EXPECT_EQ(ShadowStamp(kCopy2Time), "2013-12-03 0637");
    EXPECT_EQ(ShadowCopyLabel(2, 1, kCopy2Time), "Shadow copy 2 of drive 1, 2013-12-03 06:37 UTC");
    const std::string stamp = ShadowStamp(kCopy2Time);
    EXPECT_EQ(VersionFileName("report.docx", stamp), "report (shadow 2013-12-03 0637).docx");
    EXPECT_EQ(VersionFileName("archive.tar.gz", stamp), "archive.tar (shadow 2013-12-03 0637).gz");
    EXPECT_EQ(VersionFileName("syslog", stamp), "syslog (shadow 2013-12-03 0637)");
    EXPECT_EQ(VersionFileName(".profile", stamp), ".profile (shadow 2013-12-03 0637)");
    EXPECT_EQ(VersionFileName("notes.", stamp), "notes. (shadow 2013-12-03 0637)");
}

TEST(FileVersionsTest, AVersionIsWrittenWhenNeitherTheLiveFileNorAWrittenVersionIsIt) {
    const FileVersionKey live{100, 5000};
    EXPECT_FALSE(VersionDiffers(live, {}, FileVersionKey{100, 5000}));    // the same version
    EXPECT_TRUE(VersionDiffers(live, {}, FileVersionKey{100, 4000}));     // written earlier
    EXPECT_TRUE(VersionDiffers(live, {}, FileVersionKey{90, 5000}));      // another size
    EXPECT_TRUE(VersionDiffers(std::nullopt, {}, FileVersionKey{1, 1}));  // gone from the volume
    // A second copy holding the version a first copy gave is not written again.
    EXPECT_FALSE(VersionDiffers(live, {FileVersionKey{100, 4000}}, FileVersionKey{100, 4000}));
    // A time that could not be read tells nothing: the version is written.
    EXPECT_TRUE(VersionDiffers(FileVersionKey{100, 0}, {}, FileVersionKey{100, 0}));
}

TEST(VersionMarksTest, ATipCountsTheVersionsAndNamesEachCopyOnce) {
    VersionMarks marks;
    EXPECT_TRUE(marks.Empty());
    marks.Add(7, {1, kCopy1Time});
    marks.Add(7, {2, kCopy2Time});
    marks.Add(7, {1, kCopy1Time});
    marks.Add(9, {2, kCopy2Time});
    EXPECT_FALSE(marks.Empty());
    EXPECT_TRUE(marks.Of(8).empty());
    EXPECT_EQ(VersionMarks::Describe(marks.Of(7), true),
              "3 older versions of files in this folder, in:\n"
              "shadow copy 1 (2013-12-03 06:35 UTC)\nshadow copy 2 (2013-12-03 06:37 UTC)");
    EXPECT_EQ(VersionMarks::Describe(marks.Of(9), false),
              "1 older version in:\nshadow copy 2 (2013-12-03 06:37 UTC)");
    EXPECT_EQ(VersionMarks::Describe(marks.Of(8), false), "");
}

// A shadow copy opened as the drive is an older state itself: none of its files is marked,
// and nothing of the store is read for it.
TEST(VersionMarksTest, AShadowCopyOpenedAsTheDriveHasNoMarks) {
    if (!std::filesystem::exists(VssImage())) TARVIK_SKIP_WITHOUT_SHARED_DATA("vsstest.qcow2");
    RecoverySession session;
    NullProgressSink progress;
    NullNotifier notifier;
    ASSERT_FALSE(session.LoadDisks({VssImage()}, false));
    ASSERT_TRUE(session.FindDrives(0, DriveDiscovery::kPartitionTable, progress, notifier));
    ASSERT_EQ(session.OpenShadowCopy(0, 1, notifier), DriveOpening::kOpened);
    session.Scan(progress, notifier);
    session.Conditions(progress);
    EXPECT_TRUE(session.FindVersions(progress).Empty());
}

}  // namespace
}  // namespace tarvik
