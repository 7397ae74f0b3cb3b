#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "disk/disk_geometry.h"
#include "disk/disk_identity.h"
#include "disk/sector_reader.h"
#include "disk/sector_source.h"
#include "temp_image.h"

namespace tarvik {
namespace {

using testing::TempImage;
using testing::UseDisks;

TEST(ReadSectors, GivesUpAfterThreeFailedAttemptsAndStopsAtTheFirstSuccess) {
    int calls = 0;
    auto failing = [&](DriveCode, std::uint32_t, std::uint32_t, void*, std::uint32_t) {
        ++calls;
        return false;
    };
    std::array<std::uint8_t, 512> buffer{};
    EXPECT_EQ(ReadSectorsWith(failing, 0x80, 0, 0, buffer.data(), 512), 0);
    EXPECT_EQ(calls, 3);

    calls = 0;
    auto secondWorks = [&](DriveCode, std::uint32_t, std::uint32_t, void*, std::uint32_t) {
        return ++calls == 2;
    };
    EXPECT_EQ(ReadSectorsWith(secondWorks, 0x80, 0, 0, buffer.data(), 512), 1);
    EXPECT_EQ(calls, 2);
}

TEST(ReadSectors, ReadsTheSectorAtItsByteOffsetAndFailsAtTheEndOfTheDisk) {
    TempImage image(4);
    std::vector<std::uint8_t> marked(512, 0x5A);
    image.WriteSector(3, marked);
    UseDisks({image.path()});

    std::array<std::uint8_t, 512> buffer{};
    ASSERT_EQ(ReadSectors(0x80, 3, 0, buffer.data(), 512), 1);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(buffer[511], 0x5A);
    EXPECT_EQ(ReadSectors(0x80, 4, 0, buffer.data(), 512), 0);
    EXPECT_EQ(ReadSectors(0x80, 0, 1, buffer.data(), 512), 0);  // 2^32 sectors in
}

// A read the disk ends inside gives what the disk holds and zeros after it, and fails:
// the sectors past the end are not the disk's, and a caller that reads sector by sector
// then finds exactly those. It is not tried again, and the disk stays open.
TEST(ReadSectors, AShortReadZeroesWhatTheDiskCouldNotFillAndFails) {
    TempImage image(2);
    std::vector<std::uint8_t> marked(512, 0x77);
    image.WriteSector(1, marked);
    UseDisks({image.path()});

    std::vector<std::uint8_t> buffer(2048, 0xCC);  // stale bytes of an earlier read
    EXPECT_EQ(ReadSectors(0x80, 1, 0, buffer.data(), 2048), 0);
    EXPECT_EQ(buffer[511], 0x77);
    EXPECT_TRUE(std::all_of(buffer.begin() + 512, buffer.end(), [](auto b) { return b == 0; }));

    DiskHandle disk(0x80);
    std::fill(buffer.begin(), buffer.end(), 0xCC);
    EXPECT_EQ(disk.ReadOnce(DiskSector(1), buffer), DiskHandle::Outcome::kShort);
    EXPECT_EQ(buffer[0], 0x77);
    EXPECT_EQ(buffer[512], 0);
    EXPECT_TRUE(disk.Read(DiskSector(1), std::span(buffer).first(512)));
    EXPECT_FALSE(disk.Read(DiskSector(2), std::span(buffer).first(512)));
    EXPECT_EQ(disk.SectorCount(), 2u);

    // A last sector the image holds only part of is not a whole sector of the disk.
    image.WriteBytes(1024, marked.data(), 100);
    EXPECT_EQ(disk.ReadOnce(DiskSector(2), std::span(buffer).first(512)),
              DiskHandle::Outcome::kShort);
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
    UseDisks({pieces.front()});
    DiskHandle disk(0x80);
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

TEST(ReadSectors, OpensNothingForDriveLetterCodesOrDisksNotInTheTable) {
    TempImage image(1);
    UseDisks({image.path()});
    std::array<std::uint8_t, 512> buffer{};
    EXPECT_EQ(OpenDiskDevice(0x02), -1);
    EXPECT_EQ(ReadSectors(0x02, 0, 0, buffer.data(), 512), 0);
    EXPECT_EQ(ReadSectors(0x81, 0, 0, buffer.data(), 512), 0);
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

std::vector<std::uint8_t> Filled(std::uint8_t byte) {
    return std::vector<std::uint8_t>(512, byte);
}

// The image behind the disk's path is replaced while a handle is open: the handle goes
// on reading the file it opened (only a failed attempt would open the path again).
TEST(DiskHandle, KeepsOneDescriptorAndReopensOnlyAfterAFailedAttempt) {
    TempImage first(4);
    first.WriteSector(0, Filled(0x11));
    TempImage second(4);
    second.WriteSector(0, Filled(0x22));
    UseDisks({first.path()});
    const std::size_t before = OpenDescriptors();
    std::array<std::uint8_t, 512> buffer{};
    {
        DiskHandle disk(0x80);
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
    UseDisks({image.path()});
    DiskSectorSource drive(0x80, DiskSector(3));
    std::array<std::uint8_t, 512> buffer{};
    ASSERT_TRUE(drive.Read(DriveSector(2), buffer));
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_FALSE(drive.Read(DriveSector(UINT64_MAX - 1), buffer));  // would wrap to sector 1

    DiskSectorSource far(0x80, DiskSector(UINT64_MAX / 512));
    EXPECT_FALSE(far.Read(DriveSector(0), buffer));
}

TEST(CountPhysicalDisks, StopsAtTheFirstDiskThatCannotBeOpened) {
    TempImage first(1);
    TempImage third(1);
    UseDisks({first.path(), "/nonexistent/tarvik-disk", third.path()});
    std::uint8_t count = 99;
    EXPECT_TRUE(CountPhysicalDisks(count));
    EXPECT_EQ(count, 1);

    UseDisks({});
    EXPECT_FALSE(CountPhysicalDisks(count));
    EXPECT_EQ(count, 0);
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
    UseDisks({image.path()});

    std::uint16_t cylinders = 0;
    std::uint8_t heads = 0;
    std::uint8_t perTrack = 0;
    ASSERT_TRUE(GetDiskParameters(0x80, cylinders, heads, perTrack));
    EXPECT_EQ(cylinders, 4464);
    EXPECT_EQ(heads, 255);
    EXPECT_EQ(perTrack, 63);
    std::uint64_t total = 0;
    ASSERT_TRUE(GetDiskSectorCount(0x80, total));
    EXPECT_EQ(total, sectors);
}

TEST(DiskGeometry, SectorCountPast32BitsIsWhole) {
    TempImage image(0x100000000ull + 17);  // sparse: 2 TiB that cost no space
    UseDisks({image.path()});
    std::uint64_t total = 0;
    ASSERT_TRUE(GetDiskSectorCount(0x80, total));
    EXPECT_EQ(total, 0x100000000ull + 17);

    std::vector<std::uint8_t> last(512, 0x3C);
    image.WriteSector(0x100000000ull + 16, last);
    std::array<std::uint8_t, 512> buffer{};
    ASSERT_TRUE(ReadSectors(0x80, DiskSector(0x100000000ull + 16), buffer));
    EXPECT_EQ(buffer[0], 0x3C);
}

TEST(DiskGeometry, UnopenableDiskIsReportedOnceAndCountsZeroSectors) {
    UseDisks({"/nonexistent/tarvik-disk"});
    RecordingNotifier notifier;
    std::uint64_t total = 123;
    EXPECT_FALSE(GetDiskSectorCount(0x80, total, &notifier));
    EXPECT_EQ(total, 0u);
    ASSERT_EQ(notifier.texts.size(), 1u);
    EXPECT_EQ(notifier.texts[0],
              "Corvane Miravel NTFS|Error Code 2 on Disk 128 in GetDiskParameters");
}

TEST(DiskIdentity, ImagesShowAsDiskImageWithTheirFileNameAndOthersAsUnknown) {
    TempImage image(1);
    UseDisks({image.path()});
    const DiskIdentity identity = IdentityForDisplay(IdentifyDisk(0));
    EXPECT_EQ(identity.model, "DISK IMAGE");
    EXPECT_EQ(identity.serial, std::filesystem::path(image.path()).filename().string());

    EXPECT_EQ(IdentityForDisplay({" ST380011A", "X"}).model, "UNKNOWN");
    EXPECT_EQ(IdentityForDisplay({"3ware", "X"}).serial, "UNKNOWN");
    EXPECT_EQ(IdentityForDisplay({"WDC WD800", "WD-123"}).serial, "WD-123");
}

}  // namespace
}  // namespace tarvik
