#include <gtest/gtest.h>

#include "scan/record_number_set.h"

namespace tarvik {
namespace {

// Numbers inside the MFT by bit, any other (a damaged index may name any) by hash; a
// number put in before the bound was known is still in after it.
TEST(RecordNumberSet, HoldsEachNumberOnceInsideAndOutsideTheMft) {
    RecordNumberSet set;
    EXPECT_TRUE(set.Insert(0));
    EXPECT_TRUE(set.Insert(70));
    set.Cover(100);
    EXPECT_TRUE(set.Contains(0));
    EXPECT_TRUE(set.Contains(70));
    EXPECT_FALSE(set.Insert(70));
    for (const std::uint32_t n : {5u, 99u, 100u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(set.Contains(n));
        EXPECT_TRUE(set.Insert(n));
        EXPECT_FALSE(set.Insert(n));
        EXPECT_TRUE(set.Contains(n));
    }
    set.Cover(50);  // never shrinks
    EXPECT_TRUE(set.Contains(99));
    set.Cover(200);
    EXPECT_TRUE(set.Contains(100));
    EXPECT_FALSE(set.Insert(100));
    EXPECT_FALSE(set.Contains(101));
}

}  // namespace
}  // namespace tarvik
