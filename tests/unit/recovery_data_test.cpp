#include <gtest/gtest.h>

#include <numeric>
#include <set>

#include "disk/memory_sector_source.h"
#include "filedata/file_data_copy.h"
#include "filedata/file_data_map.h"
#include "ntfs/lznt1.h"
#include "ntfs_builders.h"

namespace tarvik {
namespace {

using testing::DataListEntry;
using testing::RecordBuilder;
using Bytes = std::vector<std::uint8_t>;

class BytesOutput final : public DataOutput {
  public:
    bool Write(std::span<const std::uint8_t> bytes) override {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return true;
    }
    Bytes data;
};

// A drive of `sectors` sectors, sector s filled with the byte (s & 0xFF) ^ 0x5A, with
// sectors that fail to read.
class PatternSource final : public SectorSource {
  public:
    explicit PatternSource(std::uint64_t sectors, std::set<std::uint64_t> bad = {})
        : sectors_(sectors), bad_(std::move(bad)) {}
    bool Read(DriveSector first, std::span<std::uint8_t> buffer) override {
        const std::uint64_t sector = first.value();
        ++requests;
        for (std::size_t i = 0; i < buffer.size() / 512; ++i) {
            if (sector + i >= sectors_ || bad_.count(sector + i)) return false;
            std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(i * 512), 512,
                        Fill(sector + i));
        }
        return true;
    }
    static std::uint8_t Fill(std::uint64_t sector) {
        return static_cast<std::uint8_t>((sector & 0xFF) ^ 0x5A);
    }
    int requests = 0;

  private:
    std::uint64_t sectors_;
    std::set<std::uint64_t> bad_;
};

Bytes Sectors(std::initializer_list<std::uint64_t> sectors) {
    Bytes out;
    for (std::uint64_t s : sectors) out.insert(out.end(), 512, PatternSource::Fill(s));
    return out;
}

std::optional<FileDataMap> MapRecord(Bytes record, SectorSource& source,
                                     const RecordFetcher& fetch = {}) {
    EXPECT_TRUE(PrepareFileRecord(record));
    return MapFileData(ByteView(record), 40, fetch, source, 1);
}

TEST(FileDataCopy, SparseRunsUninitializedTailAndRealSize) {
    // 2 clusters at 10, 2 sparse, 2 at 20 (512-byte clusters); the file is 2900 bytes,
    // initialized up to 2200.
    const Bytes runs = {0x11, 0x02, 0x0A, 0x01, 0x02, 0x11, 0x02, 0x0A, 0x00};
    auto record =
        RecordBuilder().NonResidentExtent(0x80, runs, 0, 5, 2900, 2200, 3072).OnDisk(0x0101);
    PatternSource source(64);
    const auto map = MapRecord(record, source);
    ASSERT_TRUE(map);
    BytesOutput out;
    const CopyResult result = CopyFileData(*map, source, 1, out, {});
    Bytes expected = Sectors({10, 11});
    expected.resize(2048 + 1024, 0);
    const Bytes tail = Sectors({20, 21});
    std::copy(tail.begin(), tail.begin() + (2200 - 2048), expected.begin() + 2048);
    expected.resize(2900);
    EXPECT_EQ(out.data, expected);
    EXPECT_EQ(result.bytesWritten, 2900u);
    EXPECT_EQ(result.unreadableSectors, 0u);
}

TEST(FileDataCopy, UnreadableSectorsAreZerosCountedAndTheRestIsRead) {
    const Bytes runs = {0x11, 0x08, 0x10, 0x00};  // 8 clusters at 16
    auto record =
        RecordBuilder().NonResidentExtent(0x80, runs, 0, 7, 4096, 4096, 4096).OnDisk(0x0101);
    PatternSource source(64, {18, 21});
    const auto map = MapRecord(record, source);
    ASSERT_TRUE(map);
    BytesOutput out;
    const CopyResult result = CopyFileData(*map, source, 1, out, {});
    Bytes expected = Sectors({16, 17, 18, 19, 20, 21, 22, 23});
    std::fill_n(expected.begin() + 2 * 512, 512, 0);
    std::fill_n(expected.begin() + 5 * 512, 512, 0);
    EXPECT_EQ(out.data, expected);
    EXPECT_EQ(result.unreadableSectors, 2u);
    // One whole-run request, then one per sector of the failed request.
    EXPECT_EQ(source.requests, 1 + 8);
}

// An image that holds `sectors` sectors but for `missing` ones (a piece of it cut short):
// a read gives what lies before the first sector it lacks, the rest zeroed, and fails.
class ShortImage final : public SectorSource {
  public:
    explicit ShortImage(std::uint64_t sectors, std::set<std::uint64_t> missing = {})
        : sectors_(sectors), missing_(std::move(missing)) {}
    bool Read(DriveSector first, std::span<std::uint8_t> buffer) override {
        ++requests;
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        for (std::size_t i = 0; i < buffer.size() / 512; ++i) {
            const std::uint64_t sector = first.value() + i;
            if (sector >= sectors_ || missing_.count(sector)) return false;
            std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(i * 512), 512,
                        PatternSource::Fill(sector));
        }
        return true;
    }
    std::optional<std::uint64_t> SectorCount() override { return sectors_; }
    int requests = 0;

  private:
    std::uint64_t sectors_;
    std::set<std::uint64_t> missing_;
};

class PlacedOutput final : public PositionedOutput {
  public:
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        if (data.size() < offset + bytes.size()) data.resize(offset + bytes.size());
        std::copy(bytes.begin(), bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
        return true;
    }
    Bytes data;
};

// Sectors an image does not hold (it ends inside a run, or lacks a piece) are zeros and
// counted on both roads a file's data takes; those past the disk's end are not asked for.
TEST(FileDataCopy, SectorsTheImageDoesNotHoldAreZerosAndCounted) {
    const Bytes runs = {0x11, 0x08, 0x10, 0x00};  // 8 clusters at 16
    auto record =
        RecordBuilder().NonResidentExtent(0x80, runs, 0, 7, 4096, 4096, 4096).OnDisk(0x0101);
    PatternSource drive(64);
    const auto map = MapRecord(record, drive);
    ASSERT_TRUE(map);
    const auto pieces = PlainPieces(*map, 1, 0);
    ASSERT_TRUE(pieces && pieces->size() == 1);

    struct Case {
        std::uint64_t sectors;
        std::set<std::uint64_t> missing;
        int pieceRequests;
    };
    const Case cases[] = {{20, {}, 1}, {64, {18, 19}, 1 + 8}};
    for (const Case& c : cases) {
        Bytes expected = Sectors({16, 17, 18, 19, 20, 21, 22, 23});
        for (std::uint64_t s = 16; s < 24; ++s) {
            if (s >= c.sectors || c.missing.count(s))
                std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>((s - 16) * 512), 512, 0);
        }
        ShortImage image(c.sectors, c.missing);
        BytesOutput out;
        const CopyResult whole = CopyFileData(*map, image, 1, out, {});
        EXPECT_EQ(out.data, expected);
        EXPECT_EQ(whole.unreadableSectors, 4u - 2u * (c.sectors == 64));

        ShortImage again(c.sectors, c.missing);
        PlacedOutput placed;
        const CopyResult piece = CopyPiece(pieces->front(), 4096, again, 1, placed, {}, {});
        EXPECT_EQ(placed.data, expected);
        EXPECT_EQ(piece.unreadableSectors, whole.unreadableSectors);
        EXPECT_EQ(again.requests, c.pieceRequests);
    }
}

TEST(FileDataCopy, DataSplitOverExtensionRecordsInListOrder) {
    // The base record holds only the list; record 41 holds VCN 0-2, record 42 VCN 3-4.
    Bytes list = DataListEntry(0, 41, 3);
    const Bytes second = DataListEntry(3, 42, 5);
    list.insert(list.end(), second.begin(), second.end());
    auto base = RecordBuilder().Resident(0x20, list).OnDisk(0x0101);
    auto first = RecordBuilder()
                     .BaseReference(40)
                     .NonResidentExtent(0x80, {0x11, 0x03, 0x20, 0x00}, 0, 2, 2500, 2500, 2560, 3)
                     .OnDisk(0x0101);
    auto last = RecordBuilder()
                    .BaseReference(40)
                    .NonResidentExtent(0x80, {0x11, 0x02, 0x08, 0x00}, 3, 4, 0, 0, 0, 5)
                    .OnDisk(0x0101);
    const RecordFetcher fetch = [&](std::uint32_t number, RecordBuffer& out) {
        if (number != 41 && number != 42) return false;
        const auto& record = number == 41 ? first : last;
        out.assign(record.begin(), record.end());
        return true;
    };
    PatternSource source(64);
    const auto map = MapRecord(base, source, fetch);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->extentsMissed, 0u);
    BytesOutput out;
    CopyFileData(*map, source, 1, out, {});
    Bytes expected = Sectors({32, 33, 34, 8, 9});
    expected.resize(2500);
    EXPECT_EQ(out.data, expected);
}

TEST(FileDataCopy, ResidentValueIsExactlyItsLength) {
    const Bytes value = {'h', 'e', 'l', 'l', 'o'};
    auto record = RecordBuilder().Resident(0x80, value).OnDisk(0x0101);
    PatternSource source(4);
    const auto map = MapRecord(record, source);
    ASSERT_TRUE(map && map->resident);
    BytesOutput out;
    CopyFileData(*map, source, 1, out, {});
    EXPECT_EQ(out.data, value);
}

// "abc" then a back-reference (offset 3, length 9): "abcabcabcabc".
const Bytes kChunk = {0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x06, 0x20};

TEST(Lznt1, ChunksLiteralsBackReferencesAndFaults) {
    Bytes out(64);
    auto produced = DecompressLznt1(kChunk, out);
    ASSERT_TRUE(produced);
    EXPECT_EQ(*produced, 12u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 12), "abcabcabcabc");

    // Two chunks: the first stands for 4096 bytes even though it yields 12.
    Bytes two = kChunk;
    two.insert(two.end(), kChunk.begin(), kChunk.end());
    Bytes unit(8192, 0xEE);
    produced = DecompressLznt1(two, unit);
    ASSERT_TRUE(produced);
    EXPECT_EQ(*produced, 4096u + 12u);
    EXPECT_EQ(unit[12], 0);
    EXPECT_EQ(std::string(unit.begin() + 4096, unit.begin() + 4108), "abcabcabcabc");

    // An uncompressed chunk is copied.
    Bytes raw = {0xFF, 0x3F};
    raw.resize(2 + 4096, 'r');
    produced = DecompressLznt1(raw, unit);
    ASSERT_TRUE(produced);
    EXPECT_EQ(unit[4095], 'r');

    // A back-reference before the chunk's start, and a chunk past the input, fail.
    EXPECT_FALSE(DecompressLznt1(Bytes{0x02, 0xB0, 0x01, 0x00, 0x10}, out));
    EXPECT_FALSE(DecompressLznt1(Bytes{0x10, 0xB0, 0x00, 'a'}, out));
    // Output that would not fit fails rather than being cut.
    Bytes small(8);
    EXPECT_FALSE(DecompressLznt1(kChunk, small));
}

TEST(FileDataCopy, CompressedUnitsRawSparseAndBroken) {
    // 512-byte clusters, units of 16 clusters. Unit 0: one stored cluster (at 8) with
    // LZNT1 data, 15 sparse. Unit 1: all 16 stored (at 30) -> raw. Unit 2: stored garbage
    // in one cluster (at 50) -> zeros, counted.
    Bytes disk(64 * 512, 0);
    std::copy(kChunk.begin(), kChunk.end(), disk.begin() + 8 * 512);
    for (std::size_t i = 0; i < 16 * 512; ++i)
        disk[30 * 512 + i] = static_cast<std::uint8_t>(i * 7);
    disk[50 * 512] = 0x40;  // a chunk header claiming more than the cluster holds
    disk[50 * 512 + 1] = 0xB2;
    const Bytes runs = {0x11, 0x01, 0x08, 0x01, 0x0F, 0x11, 0x10,
                        0x16, 0x11, 0x01, 0x14, 0x01, 0x0F, 0x00};
    auto record =
        RecordBuilder()
            .NonResidentExtent(0x80, runs, 0, 47, 3 * 8192, 3 * 8192, 3 * 8192, 0, 0x0001, 4)
            .OnDisk(0x0101);
    MemorySectorSource source(disk);
    const auto map = MapRecord(record, source);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->compressionUnitClusters, 16u);
    BytesOutput out;
    const CopyResult result = CopyFileData(*map, source, 1, out, {});
    ASSERT_EQ(out.data.size(), 3u * 8192);
    EXPECT_EQ(std::string(out.data.begin(), out.data.begin() + 12), "abcabcabcabc");
    EXPECT_TRUE(std::all_of(out.data.begin() + 12, out.data.begin() + 8192,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(
        std::equal(out.data.begin() + 8192, out.data.begin() + 16384, disk.begin() + 30 * 512));
    EXPECT_TRUE(std::all_of(out.data.begin() + 16384, out.data.end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(result.unreadableSectors, 16u);
}

// What a record says about units, runs and sizes never makes the copy allocate or write
// beyond what the volume holds.
TEST(FileDataCopy, UnitsRunsAndSizesAreBoundedByTheVolume) {
    // A unit of 2^16 clusters in the header: read as the 16 clusters NTFS writes.
    auto record = RecordBuilder()
                      .NonResidentExtent(0x80, {0x11, 0x10, 0x04, 0x00}, 0, 15, 8192, 8192, 8192, 0,
                                         0x0001, 16)
                      .OnDisk(0x0101);
    PatternSource source(64);
    const auto map = MapRecord(record, source);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->compressionUnitClusters, 16u);
    BytesOutput raw;
    EXPECT_EQ(CopyFileData(*map, source, 1, raw, {}).bytesWritten, 8192u);

    // The same clusters listed twice (overlapping extents) add up to more than a unit
    // holds: the unit is taken as stored, never read past its end.
    FileDataMap twice;
    twice.compressionUnitClusters = 16;
    twice.realSize = twice.initializedSize = twice.allocatedSize = 8192;
    DataRun run;
    run.lengthClusters = 12;
    run.lcn = Cluster(8);
    twice.runs = {run, run};
    BytesOutput overlapped;
    const CopyResult copied = CopyFileData(twice, source, 1, overlapped, {});
    ASSERT_EQ(overlapped.data.size(), 12u * 512);  // as far as the runs reach
    EXPECT_EQ(Bytes(overlapped.data.begin(), overlapped.data.begin() + 512), Sectors({8}));
    EXPECT_EQ(copied.unreadableSectors, 0u);

    // A size of 2^62 and a run of 2^40 clusters on a volume of 16 sectors: the volume's
    // 16 sectors are written, those the run places past its end as zeros, counted.
    FileDataMap endless;
    endless.realSize = endless.initializedSize = endless.allocatedSize = std::uint64_t{1} << 62;
    run.lengthClusters = std::uint64_t{1} << 40;
    run.lcn = Cluster(4);
    endless.runs = {run};
    BytesOutput bounded;
    CopyOptions options;
    options.volumeSectors = 16;
    const CopyResult cut = CopyFileData(endless, source, 1, bounded, options);
    EXPECT_EQ(cut.bytesWritten, 16u * 512);
    EXPECT_EQ(cut.unreadableSectors, 4u);
    EXPECT_EQ(Bytes(bounded.data.begin() + 11 * 512, bounded.data.begin() + 12 * 512),
              Sectors({15}));
    EXPECT_TRUE(std::all_of(bounded.data.begin() + 12 * 512, bounded.data.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST(FileDataCopy, RealSizeBeyondTheRunsIsNotWritten) {
    // A damaged record claims a terabyte for one cluster of runs.
    auto record =
        RecordBuilder()
            .NonResidentExtent(0x80, {0x11, 0x01, 0x04, 0x00}, 0, 0, 1ull << 40, 1ull << 40, 512)
            .OnDisk(0x0101);
    PatternSource source(16);
    const auto map = MapRecord(record, source);
    ASSERT_TRUE(map);
    BytesOutput out;
    EXPECT_EQ(CopyFileData(*map, source, 1, out, {}).bytesWritten, 512u);
}

TEST(FileDataCopy, ARunListCutShortIsWrittenToItsLengthWithTheMissingClustersCounted) {
    // Four clusters by the extent's last VCN; the runs place one (at sector 4), then end:
    // at the terminator, and at a header whose length field is wider than eight bytes.
    for (const Bytes& runs : {Bytes{0x11, 0x01, 0x04, 0x00}, Bytes{0x11, 0x01, 0x04, 0x09}}) {
        auto record =
            RecordBuilder().NonResidentExtent(0x80, runs, 0, 3, 2000, 2000, 4 * 512).OnDisk(0x0101);
        PatternSource source(16);
        const auto map = MapRecord(record, source);
        ASSERT_TRUE(map);
        EXPECT_FALSE(map->runsWhole);
        BytesOutput out;
        const CopyResult result = CopyFileData(*map, source, 1, out, {});
        ASSERT_EQ(out.data.size(), 2000u);
        EXPECT_TRUE(std::equal(out.data.begin(), out.data.begin() + 512, Sectors({4}).begin()));
        EXPECT_TRUE(std::all_of(out.data.begin() + 512, out.data.end(),
                                [](std::uint8_t b) { return b == 0; }));
        EXPECT_EQ(result.unreadableSectors, 3u);
        EXPECT_FALSE(PlainPieces(*map, 1, 16));
    }
    // A whole list of the same file is plain and has nothing unreadable.
    auto whole = RecordBuilder()
                     .NonResidentExtent(0x80, {0x11, 0x04, 0x04, 0x00}, 0, 3, 2000, 2000, 4 * 512)
                     .OnDisk(0x0101);
    PatternSource source(16);
    const auto map = MapRecord(whole, source);
    ASSERT_TRUE(map);
    EXPECT_TRUE(map->runsWhole);
    BytesOutput out;
    EXPECT_EQ(CopyFileData(*map, source, 1, out, {}).unreadableSectors, 0u);
    EXPECT_TRUE(PlainPieces(*map, 1, 16));
}

}  // namespace
}  // namespace tarvik
