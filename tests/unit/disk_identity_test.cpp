#include "disk/disk_identity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvik {
namespace {

// Writes text into words first.. two characters a word, first character high, padded
// with blanks to the field's end.
void PutField(IdentifyWords& words, unsigned first, unsigned last, const std::string& text) {
    std::string padded = text;
    padded.resize(2 * (last - first + 1), ' ');
    for (unsigned i = first; i <= last; ++i) {
        const std::size_t at = 2 * (i - first);
        words[i] = static_cast<std::uint16_t>((static_cast<unsigned char>(padded[at]) << 8) |
                                              static_cast<unsigned char>(padded[at + 1]));
    }
}

TEST(IdentifyStringTest, BlanksAreCutAtTheEndOnlyAndNeverTheFirstCharacter) {
    IdentifyWords words{};
    PutField(words, kModelFirstWord, kModelLastWord, "ST380011A");  // 9 + 31 blanks
    PutField(words, kSerialFirstWord, kSerialLastWord, "        3JV1A2B3");
    const DiskIdentity identity = IdentityFromWords(words);
    EXPECT_EQ(identity.model, "ST380011A");
    EXPECT_EQ(identity.serial, "        3JV1A2B3");

    PutField(words, kModelFirstWord, kModelLastWord, "");  // 40 blanks
    EXPECT_EQ(ExtractIdentifyString(words, kModelFirstWord, kModelLastWord), " ");

    // An odd-length text: the last word's low byte is a blank and goes.
    PutField(words, kModelFirstWord, kModelLastWord, "WDC WD800JB-00JJC0");
    EXPECT_EQ(ExtractIdentifyString(words, kModelFirstWord, kModelLastWord), "WDC WD800JB-00JJC0");
}

TEST(IdentifyStringTest, HighByteFirstAndAZeroBlockGivesEmptyTexts) {
    IdentifyWords words{};
    words[27] = 0x4142;  // "AB"
    words[28] = 0x4300;  // "C" then NUL: the text ends there
    EXPECT_EQ(ExtractIdentifyString(words, 27, 28), "ABC");
    const DiskIdentity none = IdentityFromWords(IdentifyWords{});
    EXPECT_EQ(none.model, "");
    EXPECT_EQ(none.serial, "");
    EXPECT_EQ(IdentityForDisplay(none).model, "UNKNOWN");
}

TEST(IdentifyRoutesTest, TheFirstAnsweringRouteWinsAndTheRegisterRouteAnswersZeros) {
    std::vector<int> asked;
    IdentifyWords answer{};
    PutField(answer, kModelFirstWord, kModelLastWord, "SAMSUNG HD080HJ");
    const std::array<IdentifyRoute, 3> routes = {
        [&] {
            asked.push_back(1);
            return std::optional<IdentifyWords>();
        },
        [&] {
            asked.push_back(2);
            return std::optional<IdentifyWords>(answer);
        },
        [&] {
            asked.push_back(3);
            return IdentifyViaAtaPorts(0);
        },
    };
    EXPECT_EQ(IdentifyThroughRoutes(routes).model, "SAMSUNG HD080HJ");
    EXPECT_EQ(asked, (std::vector<int>{1, 2}));

    const std::array<IdentifyRoute, 2> silent = {
        [] { return IdentifyViaHdio("/nonexistent/disk"); },
        [] { return IdentifyViaAtaPorts(9); },
    };
    const DiskIdentity identity = IdentifyThroughRoutes(silent);
    EXPECT_EQ(IdentityForDisplay(identity).model, "UNKNOWN");
    EXPECT_EQ(IdentityForDisplay(identity).serial, "UNKNOWN");
}

}  // namespace
}  // namespace tarvik
