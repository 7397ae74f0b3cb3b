#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs_builders.h"
#include "scan/mft_batch_reader.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::FileNameFields;
using testing::FileNameValue;
using testing::MemorySource;
using testing::RecordBuilder;

// What the scan takes of one record, however the reader got it there.
struct Seen {
    std::uint64_t number = 0;
    bool readable = false;
    bool asStored = false;
    bool prepared = false;
    std::string name;
    Bytes bytes;
    friend bool operator==(const Seen&, const Seen&) = default;
};

DataRun SectorsAt(std::uint64_t start, std::uint64_t sectors) {
    DataRun run;
    run.lcn = Cluster(start);
    run.lengthClusters = sectors;
    return run;
}

std::vector<Seen> ReadAll(MemorySource& source, const MftMap& map, bool twoThreads,
                          std::size_t& batches) {
    MftBatchReader reader(source, map, false, twoThreads);
    std::vector<Seen> seen;
    batches = 0;
    while (auto batch = reader.Next()) {
        ++batches;
        for (const ReadMftRecord& r : batch->records) {
            Seen s{r.number,   r.readable, r.asStored,
                   r.prepared, "",         {r.bytes.begin(), r.bytes.end()}};
            if (r.inspected && r.inspected->name) s.name = *r.inspected->name;
            seen.push_back(std::move(s));
        }
        reader.Recycle(std::move(batch));
    }
    return seen;
}

// 3,000 records over two runs, the first of an odd length so that one record lies over
// both, and a bad sector: every record comes once, in number order, over several batches,
// and the same whether a second thread reads them or not. Named records come fixed up
// and decoded, extension records as stored, a bad one as zeros marked unreadable.
TEST(MftBatchReader, EveryRecordComesOnceInOrderTheSameOnOneThreadOrTwo) {
    constexpr std::size_t kRecords = 3000;
    constexpr std::uint64_t kFirstRun = 2001;  // sectors: record 1000 straddles the runs
    MemorySource source(8000);
    std::vector<Bytes> stored(kRecords);
    for (std::size_t k = 0; k < kRecords; ++k) {
        RecordBuilder record;
        if (k % 7 == 3) {
            record.BaseReference(k - 1);
        } else {
            FileNameFields name;
            name.name = u"f" + std::u16string(1, static_cast<char16_t>(u'a' + k % 26));
            record.Resident(attribute_type::kFileName, FileNameValue(name));
        }
        stored[k] = record.OnDisk();
        const std::uint64_t sector = 2 * k < kFirstRun ? 10 + 2 * k : 4000 + 2 * k - kFirstRun;
        source.Place(sector, Bytes(stored[k].begin(), stored[k].begin() + 512));
        const std::uint64_t second = 2 * k + 1 < kFirstRun ? 11 + 2 * k : 4001 + 2 * k - kFirstRun;
        source.Place(second, Bytes(stored[k].begin() + 512, stored[k].end()));
    }
    source.failing.insert(4000 + 2 * 2500 - kFirstRun);  // record 2500's first sector
    const MftMap map({SectorsAt(10, kFirstRun), SectorsAt(4000, 2 * kRecords - kFirstRun)}, 1, 2);
    ASSERT_EQ(map.recordCount(), kRecords);

    std::size_t batches = 0;
    const std::vector<Seen> one = ReadAll(source, map, false, batches);
    EXPECT_GE(batches, 3u);
    ASSERT_EQ(one.size(), kRecords);
    for (std::size_t k = 0; k < kRecords; ++k) {
        const Seen& s = one[k];
        ASSERT_EQ(s.number, k);
        if (k == 2500) {
            EXPECT_FALSE(s.readable);
            EXPECT_EQ(s.bytes, Bytes(1024, 0));
            continue;
        }
        ASSERT_TRUE(s.readable) << k;
        EXPECT_EQ(s.asStored, k % 7 == 3) << k;
        EXPECT_EQ(s.prepared, k % 7 != 3) << k;
        if (s.asStored) {
            EXPECT_EQ(s.bytes, stored[k]) << k;
        } else {
            EXPECT_EQ(s.name, std::string("f") + static_cast<char>('a' + k % 26)) << k;
        }
    }
    EXPECT_EQ(ReadAll(source, map, true, batches), one);
}

// The scan stops early: the reader is dropped with batches still waiting, and its thread
// ends without the rest being asked for.
TEST(MftBatchReader, ADroppedReaderEndsItsThread) {
    MemorySource source(20000);
    const MftMap map({SectorsAt(0, 20000)}, 1, 2);
    MftBatchReader reader(source, map, false, true);
    auto batch = reader.Next();
    ASSERT_TRUE(batch);
    EXPECT_EQ(batch->records.front().number, 0u);
    EXPECT_FALSE(batch->records.front().prepared);  // zeros: no FILE record
}

}  // namespace
}  // namespace tarvik
