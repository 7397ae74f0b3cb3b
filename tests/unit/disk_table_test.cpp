#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "disk/disk_table.h"

namespace tarvik {
namespace {

TEST(DiskTable, NamedImagesComeFirstThenTheEnvironmentsThenTheMachinesDisks) {
    ::setenv("TARVIK_DISKS", "/b.img::/c.img", 1);
    DiskTable table;
    table.Load({"/a.img"}, false);
    ::unsetenv("TARVIK_DISKS");
    ASSERT_EQ(table.Entries().size(), 3u);
    EXPECT_EQ(table.Entries()[0]->path(), "/a.img");
    EXPECT_EQ(table.Entries()[1]->path(), "/b.img");
    EXPECT_EQ(table.Entries()[2]->path(), "/c.img");
    EXPECT_EQ(table.At(2)->path(), "/c.img");
    EXPECT_EQ(table.At(2)->code(), 0x82u);
    EXPECT_FALSE(table.At(3));
}

TEST(DiskTable, SystemDisksAreWholeDisksInNameOrder) {
    const auto dir = std::filesystem::temp_directory_path() / "tarvik-sysblock-test";
    std::filesystem::remove_all(dir);
    for (const char* name : {"sdb", "sda", "sda1", "loop0", "nvme0n1", "nvme0n1p2", "vda",
                             "mmcblk0", "mmcblk0p1", "dm-0", "sr0"}) {
        std::filesystem::create_directories(dir / name);
    }
    const auto disks = DiskTable::SystemDisks(dir.string());
    std::filesystem::remove_all(dir);
    EXPECT_EQ(disks, (std::vector<std::string>{"/dev/mmcblk0", "/dev/nvme0n1", "/dev/sda",
                                               "/dev/sdb", "/dev/vda"}));
}

}  // namespace
}  // namespace tarvik
