// What a deleted file's bytes tell of a later writer, judged from the reads that pass by.
#include "analysis/written_over_probe.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "filedata/file_data_map.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kClusterSectors = 8;  // 4 KiB clusters
constexpr std::uint64_t kFirstCluster = 100;
constexpr std::uint64_t kFirstSector = kFirstCluster * kClusterSectors;
constexpr std::uint64_t kFileBytes = 10000;  // two full clusters and part of a third

// The file's three clusters as a later look at the drive finds them: its bytes, then
// zeros to the end of its last page, unless a case writes over them.
struct ThreeClusters {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(3 * 4096, 0);
    ThreeClusters() { std::fill(bytes.begin(), bytes.begin() + kFileBytes, 0x5A); }

    static WrittenData Where() {
        FileDataMap map;
        map.realSize = map.initializedSize = map.allocatedSize = kFileBytes;
        DataRun run;
        run.lengthClusters = 3;
        run.lcn = Cluster(kFirstCluster);
        map.runs.push_back(run);
        return WhereWritten(map, kClusterSectors);
    }
    // Whether the probe, shown the clusters in reads of `sectors` each, calls the file
    // written over.
    bool WrittenOver(std::size_t sectors = 24) const {
        WrittenOverProbe probe(Where());
        for (std::size_t at = 0; at < bytes.size(); at += sectors * 512) {
            const std::size_t size = std::min(sectors * 512, bytes.size() - at);
            probe.Saw(kFirstSector + at / 512, std::span(bytes).subspan(at, size));
        }
        return probe.WrittenOver();
    }
};

TEST(WrittenOverProbe, TellsALaterWriterFromZerosAndFromBytesPastTheEnd) {
    const WrittenData where = ThreeClusters::Where();
    EXPECT_EQ(where.headSector, kFirstSector);
    EXPECT_EQ(where.headClusters, 2u);
    ASSERT_TRUE(where.tailSector.has_value());

    // Its own bytes, then zeros: intact, in one read or sector by sector.
    EXPECT_FALSE(ThreeClusters().WrittenOver());
    EXPECT_FALSE(ThreeClusters().WrittenOver(1));

    // A shorter file ended inside its first cluster: that cluster ends in zeros.
    ThreeClusters shorter;
    std::fill(shorter.bytes.begin() + 3000, shorter.bytes.begin() + 4096, 0);
    EXPECT_TRUE(shorter.WrittenOver());
    EXPECT_TRUE(shorter.WrittenOver(1));

    // A shorter file ended just before this one's end: its last bytes are zeros.
    ThreeClusters lastZero;
    std::fill(lastZero.bytes.begin() + 9000, lastZero.bytes.begin() + kFileBytes, 0);
    EXPECT_TRUE(lastZero.WrittenOver());

    // A longer file's bytes after this one's end, in the same page.
    ThreeClusters longer;
    longer.bytes[kFileBytes + 1000] = 7;
    EXPECT_TRUE(longer.WrittenOver(3));
}

TEST(WrittenOverProbe, BytesNotSeenTellNothing) {
    ThreeClusters longer;
    longer.bytes[kFileBytes + 1000] = 7;
    // Only the first two clusters read: the end was never seen.
    WrittenOverProbe probe(ThreeClusters::Where());
    probe.Saw(kFirstSector, std::span(longer.bytes).first(2 * 4096));
    EXPECT_FALSE(probe.WrittenOver());

    // A read that fails shows the probe nothing, even when it leaves bytes behind.
    class FailingDrive final : public SectorSource {
      public:
        bool Read(DriveSector, std::span<std::uint8_t> buffer) override {
            std::fill(buffer.begin(), buffer.end(), std::uint8_t{7});
            return false;
        }
    } failing;
    WrittenOverProbe unseen(ThreeClusters::Where());
    ProbingSource source(failing, unseen);
    std::vector<std::uint8_t> buffer(3 * 4096);
    EXPECT_FALSE(source.Read(DriveSector(kFirstSector), buffer));
    EXPECT_FALSE(unseen.WrittenOver());

    // Nothing to look at for a file whose data is not plain clusters.
    FileDataMap resident;
    resident.resident = true;
    resident.realSize = resident.initializedSize = 100;
    const WrittenData none = WhereWritten(resident, kClusterSectors);
    EXPECT_EQ(none.headClusters, 0u);
    EXPECT_FALSE(none.tailSector.has_value());
}

}  // namespace
}  // namespace tarvik
