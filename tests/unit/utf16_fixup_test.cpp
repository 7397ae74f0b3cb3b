#include <gtest/gtest.h>

#include "common/utf16.h"
#include "ntfs/fixup.h"
#include "ntfs_builders.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::RecordBuilder;

TEST(Utf16, SurrogatePairsBecomeOneCharacterAndLoneHalvesTheReplacement) {
    // U+1F600 as D83D DE00, a lone high surrogate, "A", a lone low surrogate.
    const Bytes bytes = {0x3D, 0xD8, 0x00, 0xDE, 0x3D, 0xD8, 0x41, 0x00, 0x00, 0xDC};
    EXPECT_EQ(Utf16LeToUtf8(bytes),
              "\xF0\x9F\x98\x80\xEF\xBF\xBD"
              "A"
              "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16LeToUtf8(testing::Utf16(u"\u4E2D\u00E9x")), "\xE4\xB8\xAD\xC3\xA9x");
}

TEST(Utf16, AsciiRunsBesideOtherUnitsDecodeAsEveryUnitAlone) {
    // Units whose low byte alone looks ASCII (U+0141, U+2024) are not ASCII; U+007F is,
    // U+0080 is not. Each is placed after an ASCII run, at the start and at the end.
    EXPECT_EQ(Utf16LeToUtf8(testing::Utf16(u"ab\u0141cd")),
              "ab\xC5\x81"
              "cd");
    EXPECT_EQ(Utf16LeToUtf8(testing::Utf16(u"\u2024x")), "\xE2\x80\xA4x");
    EXPECT_EQ(Utf16LeToUtf8(testing::Utf16(u"x\u007F\u0080")), "x\x7F\xC2\x80");
    EXPECT_EQ(Utf16LeToUtf8(testing::Utf16(u"$I30")), "$I30");
    // Past whole groups of four ASCII units, in the second group and after it.
    EXPECT_EQ(Utf16LeToUtf8(testing::Utf16(u"abcdefg\u0100ij")), "abcdefg\xC4\x80ij");
    EXPECT_EQ(Utf16LeToUtf8(testing::Utf16(u"abcdefgh\u00E9")), "abcdefgh\xC3\xA9");
    EXPECT_EQ(Utf16LeToUtf8({}), "");
    // A pair split by the end of the units is an unpaired half; an odd byte is dropped.
    const Bytes tail = {0x61, 0x00, 0x3D, 0xD8, 0x62};
    EXPECT_EQ(Utf16LeToUtf8(tail), "a\xEF\xBF\xBD");
    EXPECT_EQ(Utf16LeToUtf8(testing::Utf16(u"ok\U0001F600ok")), "ok\xF0\x9F\x98\x80ok");
}

TEST(Utf16, StoredUnitsCompareWithTextAsTheirDecodedForm) {
    const auto equal = [](const std::u16string& units, std::string_view utf8) {
        return Utf16LeEqualsUtf8(testing::Utf16(units), utf8);
    };
    EXPECT_TRUE(equal(u"$I30", "$I30"));
    EXPECT_TRUE(equal(u"", ""));
    EXPECT_FALSE(equal(u"$I30", "$I3"));
    EXPECT_FALSE(equal(u"$I3", "$I30"));
    EXPECT_FALSE(equal(u"$I30", ""));
    // U+0124 stores 0x24 ('$') as its low byte: it is not '$'.
    EXPECT_FALSE(equal(u"\u0124I30", "$I30"));
    // Text beyond ASCII is matched as the decoder writes it, an unpaired half included.
    EXPECT_TRUE(equal(u"caf\u00E9", "caf\xC3\xA9"));
    EXPECT_FALSE(equal(u"cafe", "caf\xC3\xA9"));
    EXPECT_TRUE(equal(std::u16string(1, u'\xDC00'), "\xEF\xBF\xBD"));
}

TEST(Utf16, NamesAreDecodedWholeAndCutOnACharacterBoundaryWhenShortened) {
    // The longest NTFS name, 255 three-byte characters, is 765 bytes: all of it is kept.
    const std::u16string longest(255, u'\u4E2D');
    EXPECT_EQ(DecodeName(testing::Utf16(longest)).size(), 765u);
    // 85 three-byte characters are exactly 255 bytes; one ASCII byte before them pushes
    // the last one past the limit, and it must go whole.
    const std::u16string name(85, u'\u4E2D');
    const std::string cut(TruncateUtf8(DecodeName(testing::Utf16(u"a" + name))));
    EXPECT_EQ(cut.size(), 253u);
    EXPECT_EQ(cut, "a" + Utf16LeToUtf8(testing::Utf16(name.substr(0, 84))));
    EXPECT_EQ(TruncateUtf8("\xF0\x9F\x98\x80", 3), "");
}

TEST(Utf16, AShortenedNameKeepsItsExtension) {
    // 250 ASCII bytes, a two-byte character and ".jpeg": 257 bytes, two too many.
    const std::string stem = std::string(250, 'p') + "\xC3\xA9";
    EXPECT_EQ(ShortenName(stem + ".jpeg"), std::string(250, 'p') + ".jpeg");
    // 86 CJK characters and ".jpg": 262 bytes; whole characters give way, not the extension.
    std::u16string cjk(86, u'\u4E2D');
    const std::string name = ShortenName(DecodeName(testing::Utf16(cjk + u".jpg")));
    EXPECT_EQ(name, Utf16LeToUtf8(testing::Utf16(cjk.substr(0, 83))) + ".jpg");
    // A name without an extension, or whose "extension" is most of it, is cut at the end.
    EXPECT_EQ(ShortenName(std::string(300, 'x')), std::string(255, 'x'));
    EXPECT_EQ(ShortenName("a." + std::string(300, 'y')), "a." + std::string(253, 'y'));
    EXPECT_EQ(ShortenName("." + std::string(300, 'z')).size(), 255u);
}

TEST(Fixup, RestoresSectorTailsFromTheArrayTheHeaderNames) {
    for (std::size_t usaOffset : {std::size_t{0x2A}, std::size_t{0x30}}) {
        RecordBuilder builder(1, usaOffset);
        Bytes expected = builder.Finished();
        expected[510] = 0x11;  // tails that differ from the update sequence number
        expected[1023] = 0x22;
        Bytes disk = expected;
        testing::ProtectSectors(disk, usaOffset, 0x0304);
        EXPECT_EQ(ApplyFixup(disk), FixupStatus::kApplied);
        EXPECT_EQ(disk[510], 0x11);
        EXPECT_EQ(disk[1023], 0x22);
        EXPECT_TRUE(std::equal(disk.begin() + 0x40, disk.end(), expected.begin() + 0x40));
    }
    // A 4096-byte record (a volume of 4096-byte sectors) still has a tail every 512 bytes.
    Bytes large(4096, 0);
    for (std::size_t k = 0; k < 8; ++k) large[k * 512 + 510] = static_cast<std::uint8_t>(k + 1);
    Bytes disk = large;
    testing::ProtectSectors(disk, 0x30, 0x0506);
    EXPECT_EQ(ApplyFixup(disk), FixupStatus::kApplied);
    for (std::size_t k = 0; k < 8; ++k) EXPECT_EQ(disk[k * 512 + 510], k + 1);
}

TEST(Fixup, ReportsATornSectorAndRefusesAnArrayThatDoesNotFit) {
    Bytes disk = RecordBuilder().OnDisk(0x0506);
    disk[1022] = 0x99;  // second sector never got the new sequence number
    EXPECT_EQ(ApplyFixup(disk), FixupStatus::kTailMismatch);

    Bytes record = RecordBuilder().OnDisk();
    const Bytes before = record;
    testing::Put16(record, 6, 4);  // three sectors named in a two-sector record
    EXPECT_EQ(ApplyFixup(record), FixupStatus::kArrayDoesNotFit);
    testing::Put16(record, 6, 3);
    testing::Put16(record, 4, 508);  // array over the first sector's tail
    EXPECT_EQ(ApplyFixup(record), FixupStatus::kArrayDoesNotFit);
    testing::Put16(record, 4, 0x30);
    testing::Put16(record, 6, 0);
    EXPECT_EQ(ApplyFixup(record), FixupStatus::kArrayDoesNotFit);
    testing::Put16(record, 6, 3);
    EXPECT_EQ(record, before);
}

}  // namespace
}  // namespace tarvik
