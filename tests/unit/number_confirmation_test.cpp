#include <gtest/gtest.h>

#include <map>

#include "scan/number_confirmation.h"

namespace tarvik {
namespace {

// A stretch of the MFT: record numbers to names; absent numbers are not FILE records,
// and an empty name is a FILE record without a name.
RecordProbe Mft(std::map<std::uint64_t, std::string> names) {
    return [names](std::uint64_t n) {
        RecordAtNumber at;
        if (const auto it = names.find(n); it != names.end()) {
            at.isFileRecord = true;
            if (!it->second.empty()) at.name = it->second;
        }
        return at;
    };
}

TEST(ConfirmRecordNumber, KeepsAMatchingNumberAndMovesToTheNearbyRecordWithTheName) {
    EXPECT_EQ(ConfirmRecordNumber(40, "a.txt", Mft({{40, "a.txt"}})).result,
              ConfirmationResult::Kept);
    // The name is compared over the entry's own length.
    EXPECT_EQ(ConfirmRecordNumber(40, "a.t", Mft({{40, "a.txt"}})).result,
              ConfirmationResult::Kept);

    const auto moved = ConfirmRecordNumber(40, "a.txt", Mft({{40, "b"}, {33, "c"}, {37, "a.txt"}}));
    EXPECT_EQ(moved.result, ConfirmationResult::Moved);
    EXPECT_EQ(moved.number, 37u);
}

TEST(ConfirmRecordNumber, SearchesKMinus10ToKPlus9InOrderAndNoFurther) {
    // k - 10 is the first candidate looked at.
    EXPECT_EQ(ConfirmRecordNumber(40, "x", Mft({{40, "b"}, {30, "x"}, {45, "x"}})).number, 30u);
    EXPECT_EQ(ConfirmRecordNumber(40, "x", Mft({{40, "b"}, {49, "x"}})).number, 49u);
    EXPECT_EQ(ConfirmRecordNumber(40, "x", Mft({{40, "b"}, {50, "x"}, {29, "x"}})).result,
              ConfirmationResult::Dropped);
    // Near the start of the MFT no candidate below record 0 is asked for.
    EXPECT_EQ(ConfirmRecordNumber(3, "x", Mft({{3, "b"}, {0, "x"}})).number, 0u);
}

TEST(ConfirmRecordNumber, NamelessFileRecordEndsTheSearchAndDropsTheEntry) {
    const auto result = ConfirmRecordNumber(40, "x", Mft({{40, "b"}, {31, ""}, {35, "x"}}));
    EXPECT_EQ(result.result, ConfirmationResult::Dropped);
    EXPECT_EQ(result.number, 40u);
}

TEST(ConfirmRecordNumber, RecordAtKThatIsNoFileRecordKeepsTheCountedNumber) {
    EXPECT_EQ(ConfirmRecordNumber(40, "x", Mft({{38, "x"}})).result, ConfirmationResult::Kept);
}

}  // namespace
}  // namespace tarvik
