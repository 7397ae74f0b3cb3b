// A container image its library refuses is refused with the library's own reason, so
// the user learns what is wrong with the file instead of a guess.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "disk/disk.h"
#include "disk/disk_check.h"
#include "disk/image_format.h"
#include "shared_images.h"
#include "temp_image.h"

namespace tarvik {
namespace {

using testing::TempImage;

std::string Refusal(const std::string& path) {
    return DescribeUnusableDisk(path).value_or("(accepted)");
}

TEST(DamagedContainer, AQcowImageWithABadHeaderOrCutShortTellsTheLibrarysReason) {
    if (!ImageFormatBuiltIn(ImageFormat::kQcow)) GTEST_SKIP() << "built without libqcow";
    const std::string real = std::string(TARVIK_SHARED_DIR) + "/testdata/vsstest.qcow2";
    if (!std::filesystem::exists(real)) TARVIK_SKIP_WITHOUT_SHARED_DATA("vsstest.qcow2");
    TempImage image;
    std::filesystem::copy_file(real, image.path(),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(image.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(DescribeUnusableDisk(image.path()), std::nullopt);

    const std::uint8_t version9[] = {0, 0, 0, 9};  // big-endian, after the magic
    image.WriteBytes(4, version9, sizeof version9);
    EXPECT_EQ(Refusal(image.path()), image.path() +
                                         ": is a QCOW2 image that cannot be opened: libqcow: "
                                         "unsupported format version: 9");
    // The disk says the same when it is asked to read.
    Disk disk(image.path(), true, 0);
    EXPECT_FALSE(disk.SectorCount());
    EXPECT_EQ(disk.OpenProblem(), image.path() + ": libqcow: unsupported format version: 9");

    std::filesystem::resize_file(image.path(), 300);
    EXPECT_NE(Refusal(image.path()).find(": is a QCOW2 image that cannot be opened: libqcow: "),
              std::string::npos);
}

TEST(DamagedContainer, AnE01OrVhdWhoseStructuresAreWrongTellsTheLibrarysReason) {
    TempImage ewf(128);
    const char evf[] = "EVF\x09\x0d\x0a\xff";
    ewf.WriteBytes(0, evf, 8);
    if (ImageFormatBuiltIn(ImageFormat::kEwf)) {
        EXPECT_EQ(Refusal(ewf.path())
                      .rfind(ewf.path() + ": is a E01 image that cannot be "
                                          "opened: libewf: ",
                             0),
                  0u)
            << Refusal(ewf.path());
    }

    TempImage vhd(128);
    vhd.WriteBytes(127 * 512, "conectix", 8);  // a footer whose fields are all wrong
    if (ImageFormatBuiltIn(ImageFormat::kVhd)) {
        EXPECT_EQ(Refusal(vhd.path()), vhd.path() +
                                           ": is a VHD image that cannot be opened: libvhdi: "
                                           "unsupported format version: 0x00000000");
    }
}

}  // namespace
}  // namespace tarvik
