// The scan engine on whole volumes: one placed past sector 2^32 of a disk scans and
// recovers as it does at sector 0; a stop request ends a scan or an advance search
// promptly with a catalogue whose entries and counters agree; the boot sector gives the
// sector, cluster and record sizes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "catalogue/tree_placement.h"
#include "disk/memory_sector_source.h"
#include "filedata/file_data_copy.h"
#include "filedata/file_data_map.h"
#include "ntfs/boot_sector.h"
#include "ntfs_builders.h"
#include "scan/scan_engine.h"
#include "shared_images.h"
#include "temp_image.h"

namespace tarvik {
namespace {

using testing::Bytes;

// dftt-7: Windows XP, a bare volume with deleted files in one, two and three fragments.
const Bytes& Dftt7() {
    static const Bytes image = testing::SharedImageBytes("dftt-7-undel-ntfs.dd").value_or(Bytes());
    return image;
}

std::unique_ptr<ScanEngine> MemoryEngine(const Bytes& volume) {
    return std::make_unique<ScanEngine>(kFirstPhysicalDisk, DiskSector(0), volume.size() / 512,
                                        std::make_unique<MemorySectorSource>(volume));
}

class MemoryOutput final : public DataOutput {
  public:
    bool Write(std::span<const std::uint8_t> bytes) override {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return true;
    }
    Bytes data;
};

Bytes Recover(ScanEngine& engine, std::uint32_t number) {
    MemoryOutput output;
    if (const auto map = MapEngineFileData(engine, number)) {
        CopyFileData(*map, engine.source(), engine.geometry().sectorsPerCluster, output, {});
    }
    return output.data;
}

// Each entry whole, counted once in one group, and placed in the folder tree: the
// counters add up to the catalogue's files and folders; the made-up folders are among the
// lost ones, and every deleted entry is counted deleted.
void ExpectConsistent(const ScanEngine& engine) {
    const ScanCounters& c = engine.counters();
    std::uint64_t madeUp = 0, deletedFiles = 0, deletedFolders = 0, files = 0, folders = 0;
    for (const CatalogueEntry& entry : engine.catalogue().Entries()) {
        ++(entry.IsDirectory() ? folders : files);
        if (entry.IsMadeUp()) {
            ++madeUp;
        } else if (entry.IsDeleted()) {
            ++(entry.IsDirectory() ? deletedFolders : deletedFiles);
        }
    }
    EXPECT_EQ(files, std::uint64_t{c.normalFiles} + c.deletedFiles + c.lostFiles);
    EXPECT_EQ(folders,
              std::uint64_t{c.normalDirectories} + c.deletedDirectories + c.lostDirectories);
    EXPECT_LE(madeUp, c.lostDirectories);
    EXPECT_EQ(deletedFiles, c.deletedFiles);
    EXPECT_EQ(deletedFolders, c.deletedDirectories);
    EXPECT_EQ(PlaceEntries(engine.catalogue(), engine.folderTable()).size(),
              engine.catalogue().Count());
}

// The entries a stopped scan kept are the first ones a full scan makes, in its order.
void ExpectPrefixOf(const ScanEngine& stopped, const ScanEngine& full) {
    std::size_t i = 0;
    for (const CatalogueEntry& entry : stopped.catalogue().Entries()) {
        if (entry.IsMadeUp()) continue;
        ASSERT_LT(i, full.catalogue().Count());
        // Copies: the packed entry's fields are not aligned for a reference.
        const std::uint32_t number = entry.number;
        const std::uint32_t expected = full.catalogue().At(i).number;
        EXPECT_EQ(number, expected);
        EXPECT_EQ(entry.Name(), full.catalogue().At(i).Name());
        ++i;
    }
}

class Dftt7Engine : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Dftt7().empty()) TARVIK_SKIP_WITHOUT_SHARED_DATA("dftt-7-undel-ntfs.dd");
        full_ = MemoryEngine(Dftt7());
        ASSERT_TRUE(full_->ValidateBootSector(notifier_));
        full_->Scan(progress_, notifier_);
    }

    NullNotifier notifier_;
    NullProgressSink progress_;
    std::unique_ptr<ScanEngine> full_;
};

TEST_F(Dftt7Engine, VolumePastSector2To32ScansAndRecoversAsAtSectorZero) {
    const std::uint64_t first = (std::uint64_t{1} << 32) + 63;
    const std::uint64_t sectors = Dftt7().size() / 512;
    testing::TempImage disk(first + sectors);  // sparse: only the volume is stored
    disk.WriteBytes(first * 512, Dftt7().data(), Dftt7().size());
    testing::UseDisks({disk.path()});
    ScanEngine far(PhysicalDiskCode(0), DiskSector(first), sectors);
    ASSERT_TRUE(far.ValidateBootSector(notifier_));
    EXPECT_EQ(far.geometry().firstSector.value(), first);
    far.Scan(progress_, notifier_);

    ASSERT_EQ(far.catalogue().Count(), full_->catalogue().Count());
    ExpectPrefixOf(far, *full_);
    std::size_t deletedCompared = 0;
    for (const CatalogueEntry& entry : full_->catalogue().Entries()) {
        if (entry.IsDirectory() || entry.size == 0) continue;
        const Bytes near = Recover(*full_, entry.number);
        EXPECT_EQ(Recover(far, entry.number), near) << entry.Name();
        if (entry.IsDeleted() && !near.empty()) ++deletedCompared;
    }
    EXPECT_GE(deletedCompared, 8u);  // every deleted file the image's authors list
    testing::UseDisks({});
}

// Sets the stop request at the n-th move of a progress bar.
class StopAtPosition final : public NullProgressSink {
  public:
    StopAtPosition(StopFlag& stop, int n) : stop_(stop), left_(n) {}
    void SetPosition(std::uint64_t) override {
        if (--left_ == 0) stop_.store(true);
    }

  private:
    StopFlag& stop_;
    int left_;
};

TEST_F(Dftt7Engine, StopBeforeOrDuringTheScanEndsItWithAConsistentCatalogue) {
    ExpectConsistent(*full_);
    for (int stopAt : {1, 2, 5, 10}) {
        StopFlag stop{false};
        StopAtPosition progress(stop, stopAt);
        auto stopped = MemoryEngine(Dftt7());
        ASSERT_TRUE(stopped->ValidateBootSector(notifier_));
        const auto began = std::chrono::steady_clock::now();
        stopped->Scan(progress, notifier_, &stop);
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
        SCOPED_TRACE("stopped at position " + std::to_string(stopAt));
        EXPECT_TRUE(stop.load());
        EXPECT_LT(stopped->catalogue().Count(), full_->catalogue().Count());
        ExpectConsistent(*stopped);
        ExpectPrefixOf(*stopped, *full_);
    }
}

TEST_F(Dftt7Engine, StoppedAdvanceSearchLeavesTheCatalogueAsItWas) {
    const std::size_t entries = full_->catalogue().Count();
    const ScanCounters before = full_->counters();
    StopFlag stop{true};
    EXPECT_FALSE(full_->AdvanceSearch(progress_, &stop));
    EXPECT_TRUE(full_->advanceSearched());
    EXPECT_EQ(full_->catalogue().Count(), entries);
    EXPECT_EQ(full_->counters().normalFiles, before.normalFiles);
    EXPECT_EQ(full_->counters().deletedFiles, before.deletedFiles);

    stop.store(false);
    StopAtPosition midway(stop, 2);  // during the search of the drive
    EXPECT_FALSE(full_->AdvanceSearch(midway, &stop));
    EXPECT_EQ(full_->catalogue().Count(), entries);
    EXPECT_EQ(full_->counters().normalFiles, before.normalFiles);
    ExpectConsistent(*full_);
}

// A boot sector may claim any size (a bit flip, or 2^63 sectors): the search of the drive
// and the MFT's runs end at the disk's end, and find what they find on the true size.
TEST_F(Dftt7Engine, SearchesEndAtTheDisksEndWhateverTheVolumeClaims) {
    ASSERT_TRUE(full_->AdvanceSearch(progress_, nullptr));
    const std::uint64_t sectors = Dftt7().size() / 512;
    for (const std::uint64_t claimed :
         {sectors + (std::uint64_t{64} << 31), std::uint64_t{1} << 63}) {
        ScanEngine engine(kFirstPhysicalDisk, DiskSector(0), claimed,
                          std::make_unique<MemorySectorSource>(Dftt7()));
        ASSERT_TRUE(engine.ValidateBootSector(notifier_));
        engine.Scan(progress_, notifier_);
        EXPECT_EQ(engine.counters().unreadableRecords, 0u);
        ASSERT_TRUE(engine.AdvanceSearch(progress_, nullptr));
        EXPECT_EQ(engine.catalogue().Count(), full_->catalogue().Count()) << claimed;
    }
}

// A boot sector for a volume of `bytesPerSector` sectors.
Bytes BootSector(std::uint16_t bytesPerSector, std::uint8_t sectorsPerCluster,
                 std::uint8_t clustersPerRecord) {
    Bytes boot(512, 0);
    std::memcpy(boot.data() + 3, "NTFS    ", 8);
    testing::Put16(boot, 0x0B, bytesPerSector);
    boot[0x0D] = sectorsPerCluster;
    testing::Put64(boot, 0x28, 4095);
    testing::Put64(boot, 0x30, 100);  // MFT cluster
    testing::Put64(boot, 0x38, 2000);
    boot[0x40] = clustersPerRecord;
    boot[510] = 0x55;
    boot[511] = 0xAA;
    return boot;
}

// dftt-7 whose MFT has one sector that cannot be read: the records on it are counted as
// unreadable and every other entry is still found, those after it included.
class BadSectorSource final : public SectorSource {
  public:
    BadSectorSource(const Bytes& bytes, std::uint64_t bad) : memory_(bytes), bad_(bad) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        if (sector.value() <= bad_ && bad_ < sector.value() + buffer.size() / 512) return false;
        return memory_.Read(sector, buffer);
    }

  private:
    MemorySectorSource memory_;
    std::uint64_t bad_;
};

// A cluster size flipped to another power of two in the boot sector points the MFT at
// sectors that hold no record: the backup copy, whose MFT is where it says, gives the
// geometry, so no file is read with the wrong cluster size.
TEST_F(Dftt7Engine, ABootSectorWhoseMftIsNotWhereItSaysGivesWayToItsBackup) {
    Bytes bytes = Dftt7();
    bytes.insert(bytes.end(), Dftt7().begin(), Dftt7().begin() + 512);  // the backup copy
    ASSERT_EQ(bytes[0x0D], 2);
    bytes[0x0D] = 4;
    ScanEngine flipped(kFirstPhysicalDisk, DiskSector(0), bytes.size() / 512,
                       std::make_unique<MemorySectorSource>(bytes));
    ASSERT_TRUE(flipped.ValidateBootSector(notifier_));
    EXPECT_EQ(flipped.geometry().sectorsPerCluster, full_->geometry().sectorsPerCluster);
    EXPECT_EQ(flipped.geometry().mftStart.value(), full_->geometry().mftStart.value());
}

// Both copies alike give a wrong cluster size, or a byte that is none: the MFT, where
// the MFT cluster number puts it with the right size, tells that size; with record 0
// lost, record 1 ($MFTMirr) right after it does.
TEST_F(Dftt7Engine, TheSameWrongClusterSizeInBothCopiesIsToldByTheMft) {
    const DriveGeometry& right = full_->geometry();
    for (const bool recordZeroLost : {false, true}) {
        for (const int raw : {0x00, 0x01, 0x03, 0x04, 0x80, 0xF4, 0xFF}) {
            SCOPED_TRACE(std::to_string(raw) + (recordZeroLost ? ", record 0 lost" : ""));
            Bytes bytes = Dftt7();
            bytes.insert(bytes.end(), Dftt7().begin(), Dftt7().begin() + 512);
            bytes[0x0D] = static_cast<std::uint8_t>(raw);
            bytes[bytes.size() - 512 + 0x0D] = static_cast<std::uint8_t>(raw);
            if (recordZeroLost) {
                std::fill_n(bytes.begin() + right.mftStart.value() * 512, right.recordSize, 0);
            }
            ScanEngine engine(kFirstPhysicalDisk, DiskSector(0), bytes.size() / 512,
                              std::make_unique<MemorySectorSource>(bytes));
            ASSERT_TRUE(engine.ValidateBootSector(notifier_));
            EXPECT_EQ(engine.geometry().sectorsPerCluster, right.sectorsPerCluster);
            EXPECT_EQ(engine.geometry().mftStart.value(), right.mftStart.value());
            EXPECT_FALSE(engine.geometry().clusterSizeUnverified);
        }
    }
}

TEST_F(Dftt7Engine, AnUnreadableMftSectorCostsOnlyItsRecord) {
    const std::uint64_t mftStart = full_->geometry().mftStart.value();
    const std::uint32_t lost = 10;  // a record of the first MFT run (records 0-15)
    ScanEngine damaged(kFirstPhysicalDisk, DiskSector(0), Dftt7().size() / 512,
                       std::make_unique<BadSectorSource>(Dftt7(), mftStart + lost * 2 + 1));
    ASSERT_TRUE(damaged.ValidateBootSector(notifier_));
    damaged.Scan(progress_, notifier_);
    EXPECT_EQ(damaged.counters().unreadableRecords, 1u);
    EXPECT_EQ(full_->counters().unreadableRecords, 0u);
    std::size_t missing = 0;
    for (const CatalogueEntry& entry : full_->catalogue().Entries()) {
        const std::uint32_t number = entry.number;
        bool found = false;
        for (const CatalogueEntry& other : damaged.catalogue().Entries())
            found = found || (other.number == number && other.Name() == entry.Name());
        if (!found) {
            ++missing;
            EXPECT_EQ(number, lost) << entry.Name();
        }
    }
    EXPECT_LE(missing, 1u);
    EXPECT_GT(damaged.catalogue().Count(), full_->catalogue().Count() / 2);
}

TEST(BootSectorSizes, SectorClusterAndRecordSizesComeFromTheBootSector) {
    struct Case {
        std::uint16_t sector;
        std::uint8_t cluster;
        std::uint8_t record;
        std::uint32_t units;       // 512-byte sectors per cluster; 0: refused
        std::uint32_t recordSize;  // 0: refused
    };
    for (const Case& c :
         {Case{512, 8, 0xF6, 8, 1024}, Case{4096, 1, 0x01, 8, 4096}, Case{4096, 2, 0xF4, 16, 4096},
          Case{512, 2, 0x01, 2, 1024}, Case{512, 1, 0x01, 1, 0}, Case{4096, 16, 0x01, 128, 0},
          Case{512, 8, 0x00, 8, 0}, Case{0x300, 8, 0xF6, 0, 1024}, Case{512, 3, 0xF6, 0, 1024},
          Case{512, 0x81, 0xF6, 0, 1024}}) {
        const auto boot =
            NtfsBootSector::Parse(ByteView(BootSector(c.sector, c.cluster, c.record)));
        ASSERT_TRUE(boot);
        EXPECT_EQ(boot->UnitsPerCluster().value_or(0), c.units) << c.sector << "/" << +c.cluster;
        EXPECT_EQ(boot->RecordSize().value_or(0), c.recordSize) << +c.record;
    }
}

TEST(BootSectorSizes, BackupOfAVolumeOf4KSectorsIsFoundAtItsLastSector) {
    // 4096 volume sectors; the first copy is gone and the backup starts 8 sectors
    // before the drive's end.
    Bytes volume(4096 * 4096, 0);
    const Bytes boot = BootSector(4096, 1, 0x01);
    std::copy(boot.begin(), boot.end(), volume.end() - 4096);
    ScanEngine engine(kFirstPhysicalDisk, DiskSector(0), volume.size() / 512,
                      std::make_unique<MemorySectorSource>(volume));
    NullNotifier notifier;
    ASSERT_TRUE(engine.ValidateBootSector(notifier));
    const DriveGeometry& geometry = engine.geometry();
    EXPECT_EQ(geometry.bytesPerSector, 4096u);
    EXPECT_EQ(geometry.sectorsPerCluster, 8u);
    EXPECT_EQ(geometry.recordSize, 4096u);
    EXPECT_EQ(geometry.mftStart.value(), 800u);
    EXPECT_EQ(geometry.mftMirrorStart.value(), 16000u);
}

}  // namespace
}  // namespace tarvik
