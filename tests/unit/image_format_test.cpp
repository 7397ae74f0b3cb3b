#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "disk/disk.h"
#include "disk/image_format.h"
#include "disk/qcow_cluster_map.h"
#include "temp_image.h"

namespace tarvik {
namespace {

std::vector<std::uint8_t> Starting(const std::string& magic) {
    std::vector<std::uint8_t> bytes(512, 0);
    std::memcpy(bytes.data(), magic.data(), magic.size());
    return bytes;
}

ImageFormat Detect(const std::vector<std::uint8_t>& head,
                   const std::vector<std::uint8_t>& tail = std::vector<std::uint8_t>(512)) {
    return DetectImageFormat(ByteView(head.data(), head.size()),
                             ByteView(tail.data(), tail.size()));
}

// The magic each format starts with, a fixed VHD's footer at the end, and near misses
// that stay raw (a raw disk must never be handed to a format library).
TEST(ImageFormat, RecognisedByContent) {
    EXPECT_EQ(Detect(Starting(std::string("EVF\x09\x0D\x0A\xFF\x00", 8))), ImageFormat::kEwf);
    EXPECT_EQ(Detect(Starting("vhdxfile")), ImageFormat::kVhdx);
    EXPECT_EQ(Detect(Starting("conectix")), ImageFormat::kVhd);
    EXPECT_EQ(Detect(std::vector<std::uint8_t>(512), Starting("conectix")), ImageFormat::kVhd);
    EXPECT_EQ(Detect(Starting("KDMV")), ImageFormat::kVmdk);
    EXPECT_EQ(Detect(Starting("# Disk DescriptorFile\n")), ImageFormat::kVmdk);
    EXPECT_EQ(Detect(Starting("QFI\xFB")), ImageFormat::kQcow);

    EXPECT_EQ(Detect(Starting("EVF\x09")), ImageFormat::kRaw);
    EXPECT_EQ(Detect(Starting("\xEBR\x90NTFS    ")), ImageFormat::kRaw);
    EXPECT_EQ(DetectImageFormat(ByteView(), ByteView()), ImageFormat::kRaw);
    EXPECT_STREQ(ImageFormatModel(ImageFormat::kRaw), "DISK IMAGE");
    EXPECT_STREQ(ImageFormatModel(ImageFormat::kVhdx), "VHDX IMAGE");
}

// A file that says it is a container but is not one is refused, not read as raw bytes
// (which would show the container's own metadata as the disk).
TEST(ImageFormat, DamagedContainerOpensNothing) {
    testing::TempImage image(64);
    const auto head = Starting("QFI\xFB");
    image.WriteSector(0, head);
    EXPECT_EQ(DetectImageFormatOfFile(image.path()), ImageFormat::kQcow);
    EXPECT_EQ(OpenDiskImage(image.path()).image, nullptr);
    Disk disk(image.path(), true, 0);
    std::vector<std::uint8_t> sector(512);
    EXPECT_FALSE(disk.Read(DiskSector(0), sector));
}

void PutBe(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
}

// A QCOW2 file of 64 KiB clusters cut short: a cluster (stored or compressed) whose data
// the file does not hold whole is missing; one the file holds, and one never written,
// are not; a first-level table past the file's end leaves nothing held.
TEST(QcowClusterMap, ClustersTheFileDoesNotHoldWholeAreMissing) {
    constexpr std::uint64_t kCluster = 0x10000;
    constexpr std::uint64_t kFileSize = 0x40000 + 2000;
    constexpr std::uint64_t kCompressed = 1ull << 62;
    constexpr int kOffsetBits = 62 - (16 - 8);
    std::vector<std::uint8_t> file(kFileSize, 0);
    std::memcpy(file.data(), "QFI\xFB", 4);
    PutBe(file, 4, 2, 4);               // version
    PutBe(file, 20, 16, 4);             // cluster bits
    PutBe(file, 24, 64 * kCluster, 8);  // disk size
    PutBe(file, 36, 1, 4);              // first-level entries
    PutBe(file, 40, kCluster, 8);       // first-level table
    PutBe(file, kCluster, 2 * kCluster, 8);
    const std::uint64_t l2 = 2 * kCluster;
    PutBe(file, l2 + 0, 3 * kCluster, 8);  // stored, whole in the file
    PutBe(file, l2 + 8, kCompressed | (2ull << kOffsetBits) | (0x40000 + 100), 8);
    PutBe(file, l2 + 16, kCompressed | (3ull << kOffsetBits) | (0x40000 + 1500), 8);
    // cluster 3 never written: zeros
    PutBe(file, l2 + 32, 0x40000, 8);  // stored, cut by the file's end
    testing::TempImage image;
    image.WriteBytes(0, file.data(), file.size());
    const int fd = ::open(image.path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const auto map = QcowClusterMap::Open(fd, kFileSize);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->FirstMissingByte(0, 2 * kCluster), 2 * kCluster);
    EXPECT_EQ(map->FirstMissingByte(100, 64 * kCluster), 2 * kCluster);
    EXPECT_EQ(map->FirstMissingByte(3 * kCluster, 4 * kCluster), 4 * kCluster);
    EXPECT_EQ(map->FirstMissingByte(3 * kCluster + 5, 5 * kCluster), 4 * kCluster);
    EXPECT_EQ(map->FirstMissingByte(5 * kCluster, 64 * kCluster), 64 * kCluster);

    PutBe(file, 40, 0x80000, 8);  // the first-level table past the file's end
    image.WriteBytes(0, file.data(), 64);
    const auto cut = QcowClusterMap::Open(fd, kFileSize);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->FirstMissingByte(10, 20), 10u);
    ::close(fd);

    std::vector<std::uint8_t> header(file.begin(), file.begin() + QcowHeader::kSize);
    EXPECT_TRUE(QcowHeader::Parse(ByteView(header.data(), header.size())));
    PutBe(header, 4, 1, 4);  // the first version keeps other tables
    EXPECT_FALSE(QcowHeader::Parse(ByteView(header.data(), header.size())));
    PutBe(header, 4, 3, 4);
    PutBe(header, 20, 31, 4);
    EXPECT_FALSE(QcowHeader::Parse(ByteView(header.data(), header.size())));
}

}  // namespace
}  // namespace tarvik
