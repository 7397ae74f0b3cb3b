#include <gtest/gtest.h>

#include "partition/drive_size_text.h"

namespace tarvik {

TEST(FormatDriveSize, FractionIsTwoDecimalDigitsCutNotRounded) {
    EXPECT_EQ(FormatDriveSize(3145728), "1.50GB");
    EXPECT_EQ(FormatDriveSize(2097152 + 10486), "1.00GB");  // 1.005 GiB
    EXPECT_EQ(FormatDriveSize(4192208), "1.99GB");          // 1.999 GiB, not "1.10"
    EXPECT_EQ(FormatDriveSize(4196352), "2.00GB");
    EXPECT_EQ(FormatDriveSize(2049), "1.00MB");
    EXPECT_EQ(FormatDriveSize(2048), "1MB");
    EXPECT_EQ(FormatDriveSize(2097152), "1GB");
    EXPECT_EQ(FormatDriveSize(2097151), "1023.99MB");
    EXPECT_EQ(FormatDriveSize(0), "0MB");
    EXPECT_EQ(FormatDriveSize(0xFFFFFFFFu), "2047.99GB");
    EXPECT_EQ(FormatDriveSize(0x100000000ull), "2048GB");  // past 32 bits: no wrap to 0MB
    EXPECT_EQ(FormatDriveSize(0x200000000ull + 1048576), "4096.50GB");
    EXPECT_EQ(DecimalFigure(~0ull, ~0ull - 1), "1.00");
}

}  // namespace tarvik
