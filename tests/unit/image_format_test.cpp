#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "disk/image_format.h"
#include "disk/sector_reader.h"
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
    EXPECT_EQ(OpenDiskImage(image.path()), nullptr);
    testing::UseDisks({image.path()});
    DiskHandle disk(0x80);
    std::vector<std::uint8_t> sector(512);
    EXPECT_FALSE(disk.Read(DiskSector(0), sector));
}

}  // namespace
}  // namespace tarvik
