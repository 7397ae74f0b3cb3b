#include <gtest/gtest.h>

#include "ntfs/attribute.h"
#include "ntfs/record_summary.h"
#include "ntfs_builders.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::FileNameFields;
using testing::FileNameValue;
using testing::RecordBuilder;

const Bytes kRuns = {0x11, 0x04, 0x40, 0x00};

Bytes Si(std::uint32_t attributes = 0) {
    Bytes value = testing::StandardInformationValue(0x01D5'0000'0000'0000ull, attributes);
    testing::Put64(value, 0x08, 0x01D6'0000'0000'0042ull);  // modified after its creation
    return value;
}

TEST(RecordSummary, PrefersTheLongNameAndFallsBackToTheDosOne) {
    const Bytes both = RecordBuilder()
                           .Resident(0x10, Si())
                           .Resident(0x30, FileNameValue({u"LONGNA~1.TXT", 2, 7}))
                           .Resident(0x30, FileNameValue({u"long name.txt", 1, 7}))
                           .NonResident(0x80, kRuns, 5000)
                           .Finished();
    const auto summary = SummarizeRecord(ByteView(both));
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->name(), "long name.txt");
    EXPECT_EQ(summary->parentRecord, 7u);
    EXPECT_EQ(summary->size, 5000u);
    EXPECT_EQ(summary->creationTime, 0x01D5'0000'0000'0000ull);
    EXPECT_EQ(summary->modificationTime, 0x01D6'0000'0000'0042ull);

    const Bytes dosOnly = RecordBuilder()
                              .Resident(0x30, FileNameValue({u"SHORT.TXT", 2, 9}))
                              .Resident(0x80, Bytes(300, 0xAA))
                              .Finished();
    const auto dos = SummarizeRecord(ByteView(dosOnly));
    ASSERT_TRUE(dos);
    EXPECT_EQ(dos->name(), "SHORT.TXT");
    EXPECT_EQ(dos->parentRecord, 9u);
    EXPECT_TRUE(dos->residentData);
    EXPECT_EQ(dos->realSize, 300u);

    // A DOS twin after the long name is no link of its own; a second long name is.
    const Bytes linked = RecordBuilder()
                             .Resident(0x30, FileNameValue({u"long name.txt", 1, 7}))
                             .Resident(0x30, FileNameValue({u"LONGNA~1.TXT", 2, 7}))
                             .Resident(0x30, FileNameValue({u"other.txt", 1, 8}))
                             .Resident(0x30, FileNameValue({u"OTHER~1.TXT", 2, 8}))
                             .Finished();
    const auto links = SummarizeRecord(ByteView(linked));
    ASSERT_TRUE(links);
    EXPECT_EQ(links->name(), "long name.txt");
    ASSERT_EQ(links->otherLinks.size(), 1u);
    EXPECT_EQ(links->otherLinks[0].name, "other.txt");
    EXPECT_EQ(links->otherLinks[0].parentRecord(), 8u);

    Bytes notRecord = dosOnly;
    notRecord[0] = 'B';
    EXPECT_FALSE(SummarizeRecord(ByteView(notRecord)));
}

TEST(RecordSummary, NamedStreamsArePassedOverForTheUnnamedData) {
    const Bytes record = RecordBuilder()
                             .Resident(0x10, Si(0x800))
                             .Resident(0x30, FileNameValue({u"a.txt"}))
                             .Resident(0x80, Bytes(20, 1), u"Zone.Identifier")
                             .NonResident(0x80, kRuns, 4096)
                             .Finished();
    const auto summary = SummarizeRecord(ByteView(record));
    ASSERT_TRUE(summary);
    EXPECT_TRUE(summary->hasData);
    EXPECT_FALSE(summary->residentData);
    EXPECT_TRUE(summary->compressed);
    EXPECT_EQ(summary->realSize, 4096u);

    // A folder with a named stream is still read as a folder, with no data of its own.
    const Bytes folder =
        RecordBuilder(3)
            .Resident(0x30, FileNameValue({u"d", 1, 5, 0x10000000}))
            .Resident(0x80, Bytes(8, 1), u"meta")
            .Resident(0x90, testing::IndexRootValue(testing::LastEntryBytes()), u"$I30")
            .Finished();
    const auto folderSummary = SummarizeRecord(ByteView(folder));
    ASSERT_TRUE(folderSummary);
    EXPECT_TRUE(folderSummary->isDirectory);
    EXPECT_FALSE(folderSummary->hasData);
}

TEST(RecordSummary, FolderIndexAttributesAreFoundByTheirNamePastOtherIndexes) {
    const Bytes entries =
        testing::Join({testing::IndexEntryBytes(0x0001'0000'0000'0040ull, {u"x.bin"}),
                       testing::LastEntryBytes()});
    const Bytes large = RecordBuilder(3)
                            .Resident(0x90, testing::IndexRootValue(entries, true), u"$SII")
                            .Resident(0x90, testing::IndexRootValue(entries, true), u"$I30")
                            .NonResident(0xA0, kRuns, 4096, u"$I30")
                            .Resident(0xB0, Bytes(8, 1), u"$I30")
                            .Finished();
    const auto root = FindAttribute(ByteView(large), 0x90, kFileNameIndexName);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Name(), "$I30");
    const auto allocation = FindAttribute(ByteView(large), 0xA0, kFileNameIndexName);
    ASSERT_TRUE(allocation && !allocation->isResident());
    EXPECT_EQ(allocation->RunList().u8(0), 0x11);
    EXPECT_TRUE(SummarizeRecord(ByteView(large))->isDirectory);
}

TEST(RecordSummary, AttributeNamesAreMatchedAsTheirTextAndDecodedOnRequest) {
    const Bytes record = RecordBuilder(3)
                             .Resident(0x80, Bytes(4, 1), u"\u0124I30")
                             .Resident(0x80, Bytes(4, 2), u"\u00E9t\u00E9")
                             .Resident(0x80, Bytes(4, 3), u"$I30")
                             .Resident(0x80, Bytes(4, 4))
                             .Finished();
    const ByteView view(record);
    // The first name's low bytes read "$I30"; only the third attribute is named that.
    EXPECT_EQ(FindAttribute(view, 0x80, kFileNameIndexName)->Value().u8(0), 3);
    const auto accented = FindAttribute(view, 0x80, "\xC3\xA9t\xC3\xA9");
    ASSERT_TRUE(accented);
    EXPECT_EQ(accented->Value().u8(0), 2);
    EXPECT_EQ(accented->Name(), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(FindAttribute(view, 0x80)->Value().u8(0), 4);
    EXPECT_EQ(FindAttribute(view, 0x80)->Name(), "");
    EXPECT_FALSE(FindAttribute(view, 0x80, "$I3"));
}

TEST(RecordSummary, EndsAtAZeroLengthButFindsAnAttributeListAndDataPastTheNinth) {
    RecordBuilder many;
    many.Resident(0x10, Si()).Resident(0x20, Bytes(32, 0));
    for (int i = 0; i < 7; ++i) {
        many.Resident(0x30, FileNameValue({std::u16string(1, static_cast<char16_t>(u'a' + i))}));
    }
    many.NonResident(0x80, kRuns, 4096);
    const Bytes record = many.Finished();
    const auto summary = SummarizeRecord(ByteView(record));
    ASSERT_TRUE(summary);
    EXPECT_TRUE(summary->hasAttributeList);
    EXPECT_TRUE(summary->hasData);  // the data is the tenth attribute
    EXPECT_EQ(summary->realSize, 4096u);

    Bytes zero =
        RecordBuilder().Resident(0x10, Si()).Resident(0x30, FileNameValue({u"z"})).Finished();
    testing::Put32(zero, 0x38 + 0x60 + 4, 0);  // the $FILE_NAME's length
    AttributeWalker walker{ByteView(zero)};
    while (walker.Next()) {
    }
    EXPECT_EQ(walker.count(), 1u);
    EXPECT_EQ(walker.end(), AttributeWalker::End::kMalformed);
    EXPECT_FALSE(SummarizeRecord(ByteView(zero))->hasName());

    // A run list said to lie past its attribute makes the attribute malformed.
    Bytes outside = RecordBuilder().NonResident(0x80, kRuns, 4096).Finished();
    testing::Put16(outside, 0x38 + 0x20, 0x3F0);
    EXPECT_FALSE(SummarizeRecord(ByteView(outside))->hasData);
}

}  // namespace
}  // namespace tarvik
