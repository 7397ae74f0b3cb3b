// How a recovery reads the drive: what it read last is served again from memory, gaps
// between reads are read through only as a sweep's plan allows, and the MFT's own file
// is copied from the very reads that give the other files their records.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "disk/memory_sector_source.h"
#include "ntfs_builders.h"
#include "recovery/forward_source.h"
#include "recovery/gap_plan.h"
#include "recovery/recovery_writer.h"
#include "recovery/safe_names.h"
#include "scan/scan_state.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Numbered;
using SectorRead = std::pair<std::uint64_t, std::uint64_t>;  // first sector, sectors

// A drive in memory that notes every read and fails those touching one sector.
class TracedDrive final : public SectorSource {
  public:
    explicit TracedDrive(Bytes bytes, std::uint64_t bad = UINT64_MAX)
        : memory_(std::move(bytes)), bad_(bad) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        reads.push_back({sector.value(), buffer.size() / 512});
        if (sector.value() <= bad_ && bad_ < sector.value() + buffer.size() / 512) return false;
        return memory_.Read(sector, buffer);
    }
    Bytes& bytes() { return memory_.bytes(); }
    std::vector<SectorRead> reads;

  private:
    MemorySectorSource memory_;
    std::uint64_t bad_;
};

// Whether the buffer holds sectors first, first + 1, ... as Numbered lays them out.
bool HoldsSectorsFrom(const Bytes& buffer, std::uint64_t first) {
    for (std::size_t i = 0; i < buffer.size(); ++i)
        if (buffer[i] != static_cast<std::uint8_t>((first + i / 512) % 251)) return false;
    return true;
}

TEST(GapPlan, SmallestGapsFirstWithinTheShareOfTheBytesWanted) {
    // 8 reads of 16 sectors: 1/16 of them is 8 sectors. Gaps 2, 1, 9, 4, 1, 84 and one
    // past the cap: 1 + 1 + 2 + 4 fit.
    const std::vector<ReadSpan> reads{{0, 16},  {18, 16}, {35, 16},  {60, 16},
                                      {80, 16}, {97, 16}, {197, 16}, {3000, 16}};
    GapPlan plan = PlanGaps(reads, 2048, 16);
    EXPECT_EQ(plan.sectors, 4u);
    EXPECT_EQ(plan.countAt, 1u);
    EXPECT_TRUE(plan.Takes(3));
    EXPECT_TRUE(plan.Takes(4));
    EXPECT_FALSE(plan.Takes(4));  // the one gap of its size is used
    EXPECT_TRUE(plan.Takes(1));
    EXPECT_FALSE(plan.Takes(9));
    // Reads overlapping those before them leave no gap and are not wanted twice: 16 + 8
    // + 4 sectors wanted, a quarter of it (7) holds the gap of 6.
    plan = PlanGaps(std::vector<ReadSpan>{{0, 16}, {8, 16}, {12, 4}, {30, 4}}, 2048, 4);
    EXPECT_EQ(plan.sectors, 6u);
    EXPECT_EQ(plan.countAt, 1u);
    EXPECT_EQ(PlanGaps(std::vector<ReadSpan>{{0, 16}, {30, 4}}, 8, 1).countAt, 0u);  // over the cap
}

TEST(ForwardSource, WhatWasReadLastIsServedAgainAndAReadBeginningInItReadsOn) {
    TracedDrive drive(Numbered(4096));
    ForwardSource source(drive, 16 * 512);
    Bytes buffer(8 * 512);
    ASSERT_TRUE(source.Read(DriveSector(100), buffer));
    ASSERT_TRUE(source.Read(DriveSector(104), buffer));  // 104-107 kept, 108-111 read
    EXPECT_TRUE(HoldsSectorsFrom(buffer, 104));
    Bytes two(2 * 512);
    ASSERT_TRUE(source.Read(DriveSector(101), two));
    EXPECT_TRUE(HoldsSectorsFrom(two, 101));
    EXPECT_TRUE(source.ReadHeld(DriveSector(106), two));
    EXPECT_EQ(drive.reads, (std::vector<SectorRead>{{100, 8}, {108, 4}}));
    // Past the bound the oldest bytes go: 16 sectors are kept, the newest 112-127.
    Bytes sixteen(16 * 512);
    ASSERT_TRUE(source.Read(DriveSector(112), sixteen));
    EXPECT_FALSE(source.ReadHeld(DriveSector(108), two));
    EXPECT_TRUE(source.ReadHeld(DriveSector(126), two));
    // Let go, nothing is served any more.
    source.Forget();
    EXPECT_FALSE(source.ReadHeld(DriveSector(126), two));
}

TEST(ForwardSource, OnlyThePlannedGapsAreReadThroughAndFailedReadsAreNotKept) {
    TracedDrive drive(Numbered(4096), 41);
    ForwardSource source(drive);
    source.SetGapPlan(GapPlan{4, 1});  // gaps under 4 sectors, and one of 4
    Bytes one(512);
    for (const std::uint64_t sector : {0, 3, 8, 13, 30})
        ASSERT_TRUE(source.Read(DriveSector(sector), one));
    // Gaps of 2 and 4 read through, the second of 4 and one of 16 jumped.
    EXPECT_EQ(drive.reads,
              (std::vector<SectorRead>{{0, 1}, {1, 2}, {3, 1}, {4, 4}, {8, 1}, {13, 1}, {30, 1}}));
    EXPECT_TRUE(HoldsSectorsFrom(one, 30));
    // A gap that cannot be read ends the reading through; the read itself goes on. A
    // read that fails is not kept: asked again, it goes to the drive again.
    drive.reads.clear();
    source.SetGapPlan(GapPlan{16, 0});
    ASSERT_TRUE(source.Read(DriveSector(43), one));
    ASSERT_TRUE(source.Read(DriveSector(45), one));
    EXPECT_FALSE(source.Read(DriveSector(41), one));
    EXPECT_FALSE(source.Read(DriveSector(41), one));
    EXPECT_EQ(drive.reads, (std::vector<SectorRead>{{31, 12}, {43, 1}, {45, 1}, {41, 1}, {41, 1}}));
}

// A volume whose MFT of 32 records lies at sectors 0-63 (record n at sector 2n, clusters
// of one sector), record 0 being the MFT's own, and files with their data from sector
// 1000 on.
class MftDrive {
  public:
    static constexpr std::uint32_t kRecords = 32;

    MftDrive() : engine(MadeState()) {
        AddFile(0, "$MFT", 0, kRecords * 2);
        state_->mftMap =
            MftMap(std::vector<DataRun>{{0, kRecords * 2, 0, Cluster(0), false}}, 1, 2);
    }
    // A file of `sectors` sectors at `lcn`, filled with its record number.
    void AddFile(std::uint32_t number, const char* name, std::uint32_t lcn, std::uint32_t sectors) {
        auto& bytes = drive().bytes();
        if (number != 0) std::fill_n(bytes.begin() + lcn * 512, sectors * 512, number);
        const Bytes runs{0x32,
                         static_cast<std::uint8_t>(sectors),
                         0,
                         static_cast<std::uint8_t>(lcn),
                         static_cast<std::uint8_t>(lcn >> 8),
                         0,
                         0};
        const std::uint64_t size = std::uint64_t{sectors} * 512;
        const auto record = testing::RecordBuilder()
                                .NonResidentExtent(0x80, runs, 0, sectors - 1, size, size, size)
                                .OnDisk(0x0101);
        std::copy(record.begin(), record.end(), bytes.begin() + number * 2 * 512);
        CatalogueEntry entry;
        entry.SetName(name);
        entry.attribute = kAttributeFile;
        entry.number = number;
        entry.parent = kRootFolderNumber;
        entry.size = static_cast<std::uint32_t>(size);
        state_->catalogue.Append(entry);
    }
    TracedDrive& drive() { return static_cast<TracedDrive&>(engine.source()); }

  private:
    std::unique_ptr<ScanState> MadeState() {
        DriveGeometry geometry;
        geometry.sizeInSectors = 4096;
        geometry.sectorsPerCluster = 1;
        geometry.bytesPerSector = 512;
        geometry.recordSize = 1024;
        auto state =
            std::make_unique<ScanState>(geometry, std::make_unique<TracedDrive>(Bytes(4096 * 512)));
        state_ = state.get();
        return state;
    }
    ScanState* state_ = nullptr;  // owned by the engine

  public:
    ScanEngine engine;
};

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(RecoveryReads, TheMftsOwnFileAndTheRecordsComeFromOneReadOfTheMft) {
    MftDrive mft;
    mft.AddFile(20, "a.bin", 1000, 4);
    mft.AddFile(31, "b.bin", 1010, 2);
    char pattern[] = "/tmp/tarvik-reads-XXXXXX";
    const fs::path out = ::mkdtemp(pattern);
    NullProgressSink progress;
    NullNotifier notifier;
    RecoveryWriter writer(mft.engine, progress, notifier);
    const RecoveryResult result = writer.Run(out.string(), RecoveryMode::kAll, "");
    EXPECT_EQ(result.filesWritten, 3u);
    // Each sector of the MFT read once, in order; the root's record for its times after.
    std::map<std::uint64_t, int> times;
    for (const auto& [sector, sectors] : mft.drive().reads)
        for (std::uint64_t s = sector; s < sector + sectors && s < 64; ++s) ++times[s];
    EXPECT_EQ(times.size(), 64u);
    for (const auto& [sector, count] : times)
        EXPECT_EQ(count, sector == 10 || sector == 11 ? 2 : 1) << sector;
    // The MFT's file holds its sectors as stored, before any fix-up.
    const Bytes& bytes = mft.drive().bytes();
    EXPECT_EQ(FileText(out / "Root" / SafeName("$MFT")),
              std::string(bytes.begin(), bytes.begin() + 64 * 512));
    EXPECT_EQ(FileText(out / "Root/a.bin"), std::string(4 * 512, '\x14'));
    EXPECT_EQ(FileText(out / "Root/b.bin"), std::string(2 * 512, '\x1f'));
    fs::remove_all(out);
}

}  // namespace
}  // namespace tarvik
