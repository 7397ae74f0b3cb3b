#include <gtest/gtest.h>

#include <vector>

#include "common/byte_view.h"

namespace tarvik {
namespace {

TEST(ByteView, ReadsLittleEndianAtAnyOffsetUpToTheLastWholeField) {
    std::vector<std::uint8_t> bytes(11);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0x10 + i);
    const ByteView view(bytes);
    // Offsets that are not multiples of the width, least significant byte first.
    EXPECT_EQ(view.u16(1), 0x1211u);
    EXPECT_EQ(view.u32(3), 0x16151413u);
    EXPECT_EQ(view.u64(3), 0x1A19181716151413ull);
    EXPECT_EQ(view.uN(2, 3), 0x141312u);
    // A field that ends on the last byte is read; one byte further is missing.
    EXPECT_EQ(view.u16(9), 0x1A19u);
    EXPECT_FALSE(view.u16(10));
    EXPECT_EQ(view.u32(7), 0x1A191817u);
    EXPECT_FALSE(view.u32(8));
    EXPECT_TRUE(view.u64(3));
    EXPECT_FALSE(view.u64(4));
    EXPECT_FALSE(view.u64(SIZE_MAX - 2));  // no wrap past the end of the address space
    // High bits come through whole, not sign-extended.
    const std::vector<std::uint8_t> high(8, 0xFF);
    EXPECT_EQ(ByteView(high).u64(0), UINT64_MAX);
    EXPECT_EQ(ByteView(high).u32(4), UINT32_MAX);
}

}  // namespace
}  // namespace tarvik
