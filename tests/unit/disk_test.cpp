#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "disk/disk.h"
#include "disk/disk_geometry.h"
#include "disk/disk_identity.h"
#include "disk/disk_table.h"
#include "disk/sector_reader.h"
#include "disk/sector_source.h"
#include "temp_image.h"

namespace tarvik {
namespace {

using testing::ImageDisk;
using testing::TempImage;

TEST(DiskRead, GivesUpAfterThreeFailedAttemptsAndStopsAtTheFirstSuccessOrShortRead) {
    int calls = 0;
    EXPECT_FALSE(Disk::ReadWithRetries([&] {
        ++calls;
        return Disk::Outcome::kFailed;
    }));
    EXPECT_EQ(calls, 3);

    calls = 0;
    EXPECT_TRUE(Disk::ReadWithRetries(
        [&] { return ++calls == 2 ? Disk::Outcome::kRead : Disk::Outcome::kFailed; }));
    EXPECT_EQ(calls, 2);

    calls = 0;
    EXPECT_FALSE(Disk::ReadWithRetries([&] {
        ++calls;
        return Disk::Outcome::kShort;
    }));
    EXPECT_EQ(calls, 1);
}

TEST(DiskRead, ReadsTheSectorAtItsByteOffsetAndFailsAtTheEndOfTheDisk) {
    TempImage image(4);
    std::vector<std::uint8_t> marked(512, 0x5A);
    image.WriteSector(3, marked);
    Disk disk(image.path(), true, 0);

    std::array<std::uint8_t, 512> buffer{};
    ASSERT_TRUE(disk.Read(DiskSector(3), buffer));
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(buffer[511], 0x5A);
    EXPECT_FALSE(disk.Read(DiskSector(4), buffer));
    EXPECT_FALSE(disk.Read(DiskSector(std::uint64_t{1} << 32), buffer));
}

// A read the disk ends inside gives what the disk holds and zeros after it, and fails:
// the sectors past the end are not the disk's, and a caller that reads sector by sector
// then finds exactly those. It is not tried again, and the disk stays open.
TEST(DiskRead, AShortReadZeroesWhatTheDiskCouldNotFillAndFails) {
    TempImage image(2);
    std::vector<std::uint8_t> marked(512, 0x77);
    image.WriteSector(1, marked);
    Disk disk(image.path(), true, 0);

    std::vector<std::uint8_t> buffer(2048, 0xCC);  // stale bytes of an earlier read
    EXPECT_FALSE(disk.Read(DiskSector(1), buffer));
    EXPECT_EQ(buffer[511], 0x77);
    EXPECT_TRUE(std::all_of(buffer.begin() + 512, buffer.end(), [](auto b) { return b == 0; }));

    std::fill(buffer.begin(), buffer.end(), 0xCC);
    EXPECT_EQ(disk.ReadOnce(DiskSector(1), buffer), Disk::Outcome::kShort);
    EXPECT_EQ(buffer[0], 0x77);
    EXPECT_EQ(buffer[512], 0);
    EXPECT_TRUE(disk.Read(DiskSector(1), std::span(buffer).first(512)));
    EXPECT_FALSE(disk.Read(DiskSector(2), std::span(buffer).first(512)));
    EXPECT_EQ(disk.SectorCount(), 2u);

    // A last sector the image holds only part of is not a whole sector of the disk.
    image.WriteBytes(1024, marked.data(), 100);
    EXPECT_EQ(disk.ReadOnce(DiskSector(2), std::span(buffer).first(512)), Disk::Outcome::kShort);
    EXPECT_EQ(buffer[99], 0x77);
    EXPECT_EQ(buffer[100], 0);
    EXPECT_EQ(disk.SectorCount(), 2u);
}

// Pieces of 4 sectors, the second cut to 2: its last two sectors are missing, and the
// third piece's sectors stay where they belong.
TEST(SplitRawImage, APieceCutShortLacksItsTailAndMovesNothingAfterIt) {
    const TempImage stem;  // a unique name; the pieces are made beside it
    std::vector<std::string> pieces;
    for (int piece = 1; piece <= 3; ++piece) {
        pieces.push_back(stem.path() + ".00" + std::to_string(piece));
        std::ofstream file(pieces.back(), std::ios::binary);
        for (int s = 0; s < (piece == 2 ? 2 : 4); ++s) {
            const std::vector<char> sector(512, static_cast<char>(0x10 * piece + s));
            file.write(sector.data(), 512);
        }
    }
    Disk disk(pieces.front(), true, 0);
    EXPECT_EQ(disk.SectorCount(), 12u);
    std::vector<std::uint8_t> buffer(12 * 512);
    EXPECT_FALSE(disk.Read(DiskSector(0), buffer));
    EXPECT_EQ(buffer[5 * 512], 0x21);
    EXPECT_EQ(buffer[6 * 512], 0);
    const auto one = std::span(buffer).first(512);
    EXPECT_TRUE(disk.Read(DiskSector(5), one));
    EXPECT_FALSE(disk.Read(DiskSector(6), one));
    EXPECT_FALSE(disk.Read(DiskSector(7), one));
    ASSERT_TRUE(disk.Read(DiskSector(8), one));
    EXPECT_EQ(one[0], 0x30);
    ASSERT_TRUE(disk.Read(DiskSector(11), one));
    EXPECT_EQ(one[0], 0x33);
    for (const std::string& piece : pieces) std::filesystem::remove(piece);
}

// A device that hands over part of a request and then fails (a bad sector inside it):
// the request fails, so the caller's sector-by-sector retry finds exactly the bad
// sectors, instead of the rest of the request passing as zeros. The end of the device
// is still a short read.
ssize_t HalfThenError(int, void* buffer, std::size_t count, off_t offset) {
    if (offset != 0) {
        errno = EIO;
        return -1;
    }
    std::memset(buffer, 0xAB, count / 2);
    return static_cast<ssize_t>(count / 2);
}
ssize_t HalfThenEnd(int, void* buffer, std::size_t count, off_t offset) {
    if (offset != 0) return 0;
    std::memset(buffer, 0xAB, count / 2);
    return static_cast<ssize_t>(count / 2);
}

TEST(ReadFully, AReadFailingPartWayFailsTheRequestAndTheDevicesEndDoesNot) {
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_EQ(ReadFully(-1, 0, buffer, HalfThenError), -1);
    EXPECT_EQ(ReadFully(-1, 0, buffer, HalfThenEnd), 2048);
}

TEST(DiskTable, HoldsNoDiskPastItsEndAndADiskThatIsGoneReadsNothing) {
    TempImage image(1);
    DiskTable table;
    table.Replace({{image.path(), true}});
    ASSERT_TRUE(table.At(0));
    EXPECT_EQ(table.At(0)->number(), 0u);
    EXPECT_FALSE(table.At(1));
    Disk gone("/nonexistent/tarvik-disk", true, 1);
    std::array<std::uint8_t, 512> buffer{};
    EXPECT_FALSE(gone.Read(DiskSector(0), buffer));
    EXPECT_EQ(gone.OpenError(), ENOENT);
    EXPECT_EQ(gone.OpenProblem(), "/nonexistent/tarvik-disk: No such file or directory");
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

std::vector<std::uint8_t> Filled(std::uint8_t byte) {
    return std::vector<std::uint8_t>(512, byte);
}

// The image behind the disk's path is replaced while the disk is open: it goes on
// reading the file it opened (only a failed attempt would open the path again).
TEST(Disk, KeepsOneDescriptorAndReopensOnlyAfterAFailedAttempt) {
    TempImage first(4);
    first.WriteSector(0, Filled(0x11));
    TempImage second(4);
    second.WriteSector(0, Filled(0x22));
    const std::size_t before = OpenDescriptors();
    std::array<std::uint8_t, 512> buffer{};
    {
        Disk disk(first.path(), true, 0);
        EXPECT_EQ(OpenDescriptors(), before);  // nothing opened until asked
        ASSERT_TRUE(disk.Read(DiskSector(0), buffer));
        EXPECT_EQ(buffer[0], 0x11);
        EXPECT_EQ(OpenDescriptors(), before + 1);
        ASSERT_TRUE(disk.Read(DiskSector(1), buffer));
        EXPECT_EQ(OpenDescriptors(), before + 1);

        std::filesystem::rename(second.path(), first.path());
        ASSERT_TRUE(disk.Read(DiskSector(0), buffer));
        EXPECT_EQ(buffer[0], 0x11);  // still the file opened first
        // Past the end the disk holds nothing: no failure of the disk, no reopening.
        EXPECT_FALSE(disk.Read(DiskSector(4), buffer));
        ASSERT_TRUE(disk.Read(DiskSector(0), buffer));
        EXPECT_EQ(buffer[0], 0x11);
        EXPECT_EQ(OpenDescriptors(), before + 1);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(DiskSectorSource, ReadsRelativeToTheDrivesFirstSectorAndRefusesSectorsPastTheLast) {
    TempImage image(8);
    image.WriteSector(5, Filled(0x5A));
    const auto disk = ImageDisk(image.path());
    DiskSectorSource drive(disk, DiskSector(3));
    std::array<std::uint8_t, 512> buffer{};
    ASSERT_TRUE(drive.Read(DriveSector(2), buffer));
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_FALSE(drive.Read(DriveSector(UINT64_MAX - 1), buffer));  // would wrap to sector 1

    DiskSectorSource far(disk, DiskSector(UINT64_MAX / 512));
    EXPECT_FALSE(far.Read(DriveSector(0), buffer));
}

TEST(DiskTable, OpenableCountStopsAtTheFirstDiskThatCannotBeOpened) {
    TempImage first(1);
    TempImage third(1);
    DiskTable table;
    table.Replace({{first.path(), true}, {"/nonexistent/tarvik-disk", true}, {third.path(), true}});
    EXPECT_EQ(table.OpenableCount(), 1u);
    table.Replace({});
    EXPECT_EQ(table.OpenableCount(), 0u);
}

class RecordingNotifier : public Notifier {
  public:
    void Notify(const std::string& text, const std::string& caption, NoticeIcon) override {
        texts.push_back(caption + "|" + text);
    }
    std::vector<std::string> texts;
};

TEST(DiskGeometry, SectorCountIsTheTrueSizeWhileTheCylinderFieldKeepsItsLow16Bits) {
    TempImage image;
    const std::uint64_t sectors = 70000ull * 255 * 63 + 17;
    std::filesystem::resize_file(image.path(), sectors * 512);  // sparse: costs no space
    Disk disk(image.path(), true, 0);

    const auto geometry = disk.Geometry();
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->cylinders, 4464);
    EXPECT_EQ(geometry->heads, 255);
    EXPECT_EQ(geometry->sectorsPerTrack, 63);
    std::uint64_t total = 0;
    ASSERT_TRUE(GetDiskSectorCount(disk, total));
    EXPECT_EQ(total, sectors);
}

TEST(DiskGeometry, SectorCountPast32BitsIsWhole) {
    TempImage image(0x100000000ull + 17);  // sparse: 2 TiB that cost no space
    Disk disk(image.path(), true, 0);
    std::uint64_t total = 0;
    ASSERT_TRUE(GetDiskSectorCount(disk, total));
    EXPECT_EQ(total, 0x100000000ull + 17);

    std::vector<std::uint8_t> last(512, 0x3C);
    image.WriteSector(0x100000000ull + 16, last);
    std::array<std::uint8_t, 512> buffer{};
    ASSERT_TRUE(disk.Read(DiskSector(0x100000000ull + 16), buffer));
    EXPECT_EQ(buffer[0], 0x3C);
}

TEST(DiskGeometry, UnopenableDiskIsReportedOnceAndCountsZeroSectors) {
    Disk disk("/nonexistent/tarvik-disk", true, 0);
    RecordingNotifier notifier;
    std::uint64_t total = 123;
    EXPECT_FALSE(GetDiskSectorCount(disk, total, &notifier));
    EXPECT_EQ(total, 0u);
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_EQ(notifier.texts[0],
              "Corvane Miravel NTFS|Error Code 2 on Disk 128 in GetDiskParameters");
}

TEST(DiskIdentity, ImagesShowAsDiskImageWithTheirFileNameAndOthersAsUnknown) {
    TempImage image(1);
    const DiskIdentity identity = IdentityForDisplay(IdentifyDisk(Disk(image.path(), true, 0)));
    EXPECT_EQ(identity.model, "DISK IMAGE");
    EXPECT_EQ(identity.serial, std::filesystem::path(image.path()).filename().string());

    EXPECT_EQ(IdentityForDisplay({" ST380011A", "X"}).model, "UNKNOWN");
    EXPECT_EQ(IdentityForDisplay({"3ware", "X"}).serial, "UNKNOWN");
    EXPECT_EQ(IdentityForDisplay({"WDC WD800", "WD-123"}).serial, "WD-123");
}

}  // namespace
}  // namespace tarvik
