#include <gtest/gtest.h>

#include <map>

#include "disk/memory_sector_source.h"
#include "ntfs/attribute.h"
#include "ntfs/attribute_list.h"
#include "ntfs/listed_attributes.h"
#include "ntfs/record_inspection.h"
#include "ntfs/run_bytes.h"
#include "ntfs/run_list.h"
#include "ntfs_builders.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::RecordBuilder;

Bytes ListEntry(std::uint32_t type, std::uint64_t record, std::uint16_t id,
                const std::u16string& name = u"", std::uint64_t vcn = 0) {
    const Bytes n = testing::Utf16(name);
    Bytes e((0x1A + n.size() + 7) & ~std::size_t{7}, 0);
    testing::Put32(e, 0, type);
    testing::Put16(e, 4, e.size());
    e[6] = static_cast<std::uint8_t>(name.size());
    e[7] = 0x1A;
    testing::Put64(e, 8, vcn);
    testing::Put64(e, 0x10, record | (std::uint64_t{3} << 48));
    testing::Put16(e, 0x18, id);
    std::copy(n.begin(), n.end(), e.begin() + 0x1A);
    return e;
}

// Base record 40 with a named stream and the unnamed $DATA split over records 41 and 42,
// listed with the later extent's record first in number but second in the list.
Bytes List() {
    return testing::Join({ListEntry(0x10, 40, 0), ListEntry(0x30, 40, 2), ListEntry(0x80, 42, 0),
                          ListEntry(0x80, 41, 1, u"", 16), ListEntry(0x80, 40, 5, u"ads"),
                          ListEntry(0x90, 40, 6, u"$I30"), ListEntry(0xA0, 41, 7, u"$I30")});
}

std::vector<std::uint32_t> Records(const std::vector<AttributeExtent>& extents) {
    std::vector<std::uint32_t> records;
    for (const AttributeExtent& extent : extents) records.push_back(extent.recordNumber);
    return records;
}

TEST(AttributeList, ExtentsComeInListOrderWithTheirNames) {
    const auto list = ParseAttributeList(ByteView(List()));
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list[4].name, "ads");
    EXPECT_EQ(Records(UnnamedDataExtents(list)), (std::vector<std::uint32_t>{42, 41}));
    EXPECT_EQ(Records(IndexAllocationExtents(list)), (std::vector<std::uint32_t>{41}));
    EXPECT_EQ(IndexRootRecord(list), 40u);

    Bytes cut = List();
    testing::Put16(cut, 0x20 + 4, 0);  // second entry's length
    EXPECT_EQ(ParseAttributeList(ByteView(cut)).size(), 1u);
}

TEST(AttributeList, RunsOfEveryExtentAreAppendedThroughTheFetchedRecords) {
    const Bytes base = RecordBuilder()
                           .Resident(0x10, testing::StandardInformationValue(1, 0))
                           .Resident(0x20, List())
                           .Finished();
    auto extension = [](std::uint16_t id, const Bytes& runs, std::uint64_t vcn) {
        RecordBuilder b;
        b.NonResident(0x80, runs, 0, u"", id, vcn);
        Bytes r = b.Finished();
        testing::Put64(r, 0x20, 40 | (std::uint64_t{1} << 48));  // base reference
        testing::ProtectSectors(r, 0x30, 7);
        return r;
    };
    std::map<std::uint32_t, Bytes> disk = {{42, extension(0, {0x11, 0x10, 0x20, 0}, 0)},
                                           {41, extension(1, {0x11, 0x08, 0x60, 0}, 16)}};
    int fetches = 0;
    const RecordFetcher fetch = [&](std::uint32_t n, RecordBuffer& out) {
        ++fetches;
        if (!disk.count(n)) return false;
        out = disk[n];
        return true;
    };
    const auto list = ParseAttributeList(FindAttribute(ByteView(base), 0x20)->Value());
    std::vector<DataRun> runs;
    const auto result =
        AppendExtentRuns(ByteView(base), 40, list, ExtentKind::kUnnamedData, fetch, runs);
    EXPECT_EQ(result.extentsUsed, 2u);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].lcn.value(), 0x20u);  // record 42 first, as listed
    EXPECT_EQ(runs[0].lengthClusters, 0x10u);
    // Each extent's run list is decoded on its own: its first delta is from cluster 0.
    EXPECT_EQ(runs[1].lcn.value(), 0x60u);
    EXPECT_EQ(runs[1].lengthClusters, 0x08u);

    // An extension that names another base record is not taken.
    testing::Put64(disk[41], 0x20, 99);
    std::vector<DataRun> other;
    EXPECT_EQ(AppendExtentRuns(ByteView(base), 40, list, ExtentKind::kUnnamedData, fetch, other)
                  .extentsMissed,
              1u);
    EXPECT_EQ(fetches, 4);
}

TEST(AttributeList, NonResidentListIsReadThroughItsRuns) {
    const Bytes value = List();
    testing::MemorySource source(64);
    source.Place(20, value);  // cluster 10 with 2 sectors per cluster
    const Bytes base =
        RecordBuilder().NonResident(0x20, {0x11, 0x01, 0x0A}, value.size()).Finished();
    const auto bytes = ReadAttributeListValue(ByteView(base), source, 2);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, value);
    source.failing.insert(20);
    EXPECT_FALSE(ReadAttributeListValue(ByteView(base), source, 2));

    // A run of no clusters gives no bytes, read from a drive held in memory too (whose
    // read of an empty buffer copies nothing into it).
    MemorySectorSource memory(Bytes(64 * 512, 0));
    DataRun empty;
    empty.lcn = Cluster(10);
    Bytes out = {7};
    EXPECT_TRUE(AppendRunBytes(memory, empty, 2, 0, out));
    EXPECT_EQ(out, Bytes{7});
}

// Base record 40 whose names and data lie in records 41 and 42 only, as a file of many
// runs keeps them: its non-resident list lies at cluster 10 (2 sectors a cluster).
struct SpreadRecord {
    Bytes list =
        testing::Join({ListEntry(0x10, 40, 0), ListEntry(0x30, 41, 3), ListEntry(0x30, 42, 4),
                       ListEntry(0x80, 42, 5), ListEntry(0x80, 41, 6, u"", 300)});
    testing::MemorySource source{64};
    std::map<std::uint32_t, Bytes> disk;
    int fetches = 0;
    RecordFetcher fetch = [this](std::uint32_t n, RecordBuffer& out) {
        ++fetches;
        if (!disk.count(n)) return false;
        out = disk[n];
        return true;
    };

    SpreadRecord() {
        source.Place(20, list);
        RecordBuilder dos;
        dos.Resident(0x30, testing::FileNameValue({u"LONGNA~1.TXT", 2, 77}), u"", 3);
        RecordBuilder win32;
        win32.Resident(0x30, testing::FileNameValue({u"long name.txt", 1, 77 | (4ull << 48)}), u"",
                       4);
        win32.NonResidentExtent(0x80, {0x11, 0x10, 0x20, 0}, 0, 299, 5'000'000, 4096, 5'001'216, 5);
        disk[41] = Extension(dos);
        disk[42] = Extension(win32);
    }
    static Bytes Extension(RecordBuilder& builder) {
        return builder.BaseReference(40 | (1ull << 48)).OnDisk();
    }
    Bytes Base(RecordBuilder builder = RecordBuilder()) const {
        builder.Resident(0x10, testing::StandardInformationValue(1, 0));
        builder.NonResident(0x20, {0x11, 0x01, 0x0A}, list.size());
        return builder.Finished();
    }
    InspectedRecord Inspect(const Bytes& base) {
        auto inspected = InspectPreparedRecord(base);
        EXPECT_TRUE(inspected);
        TakeListedAttributes(*inspected, ByteView(base), 40, fetch, source, 2);
        return *inspected;
    }
};

TEST(ListedAttributes, NameParentAndRealSizeComeFromTheExtensionRecords) {
    SpreadRecord spread;
    const Bytes base = spread.Base();
    ASSERT_FALSE(InspectPreparedRecord(base)->name);
    const InspectedRecord record = spread.Inspect(base);
    // The long name, not the DOS one listed before it; the real size, not the initialized.
    EXPECT_EQ(record.name, "long name.txt");
    EXPECT_EQ(record.parent, 77u);
    EXPECT_EQ(record.parentSequence, 4u);
    EXPECT_EQ(record.size, 5'000'000u);

    // A long name of the record's own is kept; a DOS one gives way to the listed long one.
    RecordBuilder named;
    named.Resident(0x30, testing::FileNameValue({u"own.txt", 1, 9}));
    EXPECT_EQ(spread.Inspect(spread.Base(named)).name, "own.txt");
    RecordBuilder dosNamed;
    dosNamed.Resident(0x30, testing::FileNameValue({u"OWN~1.TXT", 2, 9}));
    EXPECT_EQ(spread.Inspect(spread.Base(dosNamed)).name, "long name.txt");
    // A DOS name alone is taken when no other reads.
    testing::Put64(spread.disk[42], 0x20, 99);  // now another base record's extension
    const InspectedRecord dosOnly = spread.Inspect(base);
    EXPECT_EQ(dosOnly.name, "LONGNA~1.TXT");
    EXPECT_EQ(dosOnly.size, 0u);

    // A list that cannot be read leaves the record as it was.
    spread.source.failing.insert(20);
    EXPECT_FALSE(spread.Inspect(base).name);
}

TEST(ListedAttributes, AHostileListReadsAFewRecordsAtMost) {
    SpreadRecord spread;
    Bytes names;
    for (std::uint32_t n = 0; n < 1000; ++n) names = testing::Join({names, ListEntry(0x30, n, 1)});
    testing::MemorySource source(128);
    source.Place(20, names);
    RecordBuilder builder;
    builder.NonResident(0x20, {0x11, 0x20, 0x0A}, names.size());
    const Bytes base = builder.Finished();
    auto inspected = InspectPreparedRecord(base);
    ASSERT_TRUE(inspected);
    TakeListedAttributes(*inspected, ByteView(base), 40, spread.fetch, source, 2);
    EXPECT_FALSE(inspected->name);
    EXPECT_LE(spread.fetches, static_cast<int>(kMaxListedNameRecords));

    // Runs past the drive's end: nothing is read, nothing is taken.
    RecordBuilder far;
    far.NonResident(0x20, {0x11, 0x20, 0x7F}, names.size());
    const Bytes farBase = far.Finished();
    inspected = InspectPreparedRecord(farBase);
    ASSERT_TRUE(inspected);
    TakeListedAttributes(*inspected, ByteView(farBase), 40, spread.fetch, source, 2);
    EXPECT_FALSE(inspected->name);
}

}  // namespace
}  // namespace tarvik
