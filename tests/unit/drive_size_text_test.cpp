#include <gtest/gtest.h>

#include "partition/drive_size_text.h"

namespace tarvik {

TEST(FormatDriveSize, RemainderIsCountedInTheNextSmallerUnitCutToTwoDigits) {
    EXPECT_EQ(FormatDriveSize(3145728), "1.51GB");
    EXPECT_EQ(FormatDriveSize(4196352), "2.1GB");
    EXPECT_EQ(FormatDriveSize(2049), "1.0MB");
    EXPECT_EQ(FormatDriveSize(2048), "1MB");
    EXPECT_EQ(FormatDriveSize(2097152), "1GB");
    EXPECT_EQ(FormatDriveSize(2097151), "1023.10MB");
    EXPECT_EQ(FormatDriveSize(0), "0MB");
    EXPECT_EQ(FormatDriveSize(0xFFFFFFFFu), "2047.10GB");
    EXPECT_EQ(FormatDriveSize(0x100000000ull), "2048GB");  // past 32 bits: no wrap to 0MB
    EXPECT_EQ(FormatDriveSize(0x200000000ull + 3145728 - 2097152), "4096.51GB");
}

}  // namespace tarvik
