// Reading in disk order: the read-ahead joins nearby requests into few reads in the
// order of their place on the drive, serves each request exactly as it was asked for,
// and leaves a request it could not read to be read (and fail) again; a scan reads the
// MFT once, front to back, and nothing else, and lists what the deeper scan through the
// folders' indexes lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <tuple>

#include "disk/memory_sector_source.h"
#include "ntfs_builders.h"
#include "scan/read_ahead.h"
#include "scan/scan_engine.h"
#include "shared_images.h"

namespace tarvik {
namespace {

using testing::Bytes;
using testing::Numbered;

// A drive in memory that notes every read and fails those touching one sector.
class TracedSource final : public SectorSource {
  public:
    TracedSource(Bytes bytes, std::uint64_t bad = UINT64_MAX)
        : memory_(std::move(bytes)), bad_(bad) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        reads.push_back({sector.value(), buffer.size()});
        if (sector.value() <= bad_ && bad_ < sector.value() + buffer.size() / 512) return false;
        return memory_.Read(sector, buffer);
    }
    std::vector<RequestRecorder::Request> reads;

  private:
    MemorySectorSource memory_;
    std::uint64_t bad_;
};

std::uint8_t At(std::uint64_t sector) {
    return static_cast<std::uint8_t>(sector % 251);
}

TEST(ReadAhead, NearbyRequestsAreJoinedIntoForwardReadsAndServedAsAsked) {
    TracedSource drive(Numbered(20000));
    ReadAheadSource ahead(drive);
    // Out of order, two near each other, one far beyond the gap read through, and one
    // asked twice.
    ahead.Fill({{9000, 4096}, {100, 1024}, {104, 2048}, {100, 1024}, {5000, 512}});
    ASSERT_EQ(drive.reads.size(), 3u);
    EXPECT_EQ(drive.reads[0].sector, 100u);
    EXPECT_EQ(drive.reads[0].bytes, 8u * 512);  // 100-107: both requests, no gap
    EXPECT_EQ(drive.reads[1].sector, 5000u);
    EXPECT_EQ(drive.reads[2].sector, 9000u);
    EXPECT_EQ(ahead.heldBytes(), 1024u + 2048u + 512u + 4096u);

    std::vector<std::uint8_t> buffer(2048);
    ASSERT_TRUE(ahead.Read(DriveSector(104), buffer));
    EXPECT_EQ(buffer.front(), At(104));
    EXPECT_EQ(buffer.back(), At(107));
    // Served from memory, as often as asked.
    ASSERT_TRUE(ahead.Read(DriveSector(104), buffer));
    EXPECT_EQ(drive.reads.size(), 3u);
    // A request of another length or place goes to the drive.
    std::vector<std::uint8_t> other(512);
    ASSERT_TRUE(ahead.Read(DriveSector(105), other));
    EXPECT_EQ(other.front(), At(105));
    EXPECT_EQ(drive.reads.size(), 4u);
    EXPECT_FALSE(ahead.ReadHeld(DriveSector(105), other));
}

TEST(ReadAhead, AFailedJoinedReadIsTakenAgainRequestByRequest) {
    TracedSource drive(Numbered(1000), 205);
    ReadAheadSource ahead(drive);
    // Joined into one read of 200-206, which fails on sector 205; then one read each:
    // 200-203 and 206 are held, 204-205 is not.
    ahead.Fill({{200, 2048}, {204, 1024}, {206, 512}});
    EXPECT_EQ(drive.reads.size(), 4u);
    std::vector<std::uint8_t> first(2048);
    ASSERT_TRUE(ahead.ReadHeld(DriveSector(200), first));
    EXPECT_EQ(first.back(), At(203));
    std::vector<std::uint8_t> buffer(1024);
    EXPECT_FALSE(ahead.ReadHeld(DriveSector(204), buffer));
    EXPECT_FALSE(ahead.Read(DriveSector(204), buffer));  // read again, and fails again
    std::vector<std::uint8_t> one(512);
    ASSERT_TRUE(ahead.ReadHeld(DriveSector(206), one));
    EXPECT_EQ(one.front(), At(206));
}

TEST(ReadAhead, NothingPastTheMemoryBoundIsHeld) {
    TracedSource drive(Numbered(100000));
    ReadAheadSource ahead(drive);
    ahead.Fill({{0, 4096}, {20000, 4096}, {40000, 4096}}, nullptr, 8192);
    EXPECT_EQ(ahead.heldBytes(), 8192u);
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_FALSE(ahead.ReadHeld(DriveSector(40000), buffer));
    StopFlag stop{true};
    ReadAheadSource stopped(drive);
    stopped.Fill({{0, 4096}}, &stop);
    EXPECT_EQ(stopped.heldBytes(), 0u);
}

// Served once, each request is let go and the memory of whole pages nothing held lies
// on any more goes back: requests of a sector each, far apart, are eight to a page, so a
// page given back too early would show zeros in a neighbour still to be served.
TEST(ReadAhead, ServedOnceARequestGoesAndItsNeighboursKeepTheirBytes) {
    TracedSource drive(Numbered(200000));
    ReadAheadSource ahead(drive);
    ahead.ServeOnce();
    std::vector<RequestRecorder::Request> requests;
    for (std::uint64_t i = 0; i < 40; ++i) requests.push_back({1 + i * 3000, 512});
    requests.push_back({150001, 64u << 10});
    ahead.Fill(requests);
    ASSERT_EQ(ahead.heldBytes(), 40u * 512 + (64u << 10));
    const std::size_t sweep = drive.reads.size();

    // Every third request first, then the rest, then the large one.
    std::vector<std::size_t> order;
    for (std::size_t start = 0; start < 3; ++start)
        for (std::size_t i = start; i < 40; i += 3) order.push_back(i);
    order.push_back(40);
    for (const std::size_t i : order) {
        const auto& r = requests[i];
        std::vector<std::uint8_t> buffer(r.bytes);
        ASSERT_TRUE(ahead.Read(DriveSector(r.sector), buffer));
        for (std::uint64_t s = 0; s < r.bytes / 512; ++s)
            ASSERT_EQ(buffer[s * 512 + 511], At(r.sector + s)) << "request " << i;
    }
    EXPECT_EQ(ahead.heldBytes(), 0u);
    EXPECT_EQ(drive.reads.size(), sweep);
    // A second ask is read from the drive.
    std::vector<std::uint8_t> again(512);
    ASSERT_TRUE(ahead.Read(DriveSector(3001), again));
    EXPECT_EQ(again.front(), At(3001));
    EXPECT_EQ(drive.reads.size(), sweep + 1);
}

// A volume of a folder of 512 sub-folders (many INDX blocks) and an MFT in six pieces:
// the deeper scan reads the MFT in one pass of large reads, piece after piece, and the
// index blocks in one forward sweep; a read goes back only to start a piece of the MFT or
// the sweep, where a folder-by-folder walk went back and forth hundreds of times.
TEST(ScanReadOrder, TheMftOnceAndTheIndexBlocksInOneForwardSweep) {
    static const Bytes image = testing::SharedImageBytes("mkntfs-512-subdirs.dd").value_or(Bytes());
    if (image.empty()) TARVIK_SKIP_WITHOUT_SHARED_DATA("mkntfs-512-subdirs.dd");
    auto traced = std::make_unique<TracedSource>(image);
    TracedSource& drive = *traced;
    ScanEngine engine(nullptr, DiskSector(0), image.size() / 512, std::move(traced));
    NullNotifier notifier;
    NullProgressSink progress;
    ASSERT_TRUE(engine.ValidateBootSector(notifier));
    engine.SetReadFolderIndexes(true);
    engine.Scan(progress, notifier);
    ASSERT_GT(engine.catalogue().Count(), 512u);
    std::size_t backward = 0;
    for (std::size_t i = 1; i < drive.reads.size(); ++i) {
        const auto& previous = drive.reads[i - 1];
        if (drive.reads[i].sector < previous.sector + previous.bytes / 512) ++backward;
    }
    EXPECT_LE(backward, 8u);
    EXPECT_LE(drive.reads.size(), 20u);
}

struct TracedScan {
    std::unique_ptr<ScanEngine> engine;
    std::vector<RequestRecorder::Request> reads;  // those of the scan alone
};

TracedScan ScanTraced(const Bytes& image, bool readIndexes) {
    auto traced = std::make_unique<TracedSource>(image);
    TracedSource& drive = *traced;
    TracedScan scan;
    scan.engine =
        std::make_unique<ScanEngine>(nullptr, DiskSector(0), image.size() / 512, std::move(traced));
    NullNotifier notifier;
    NullProgressSink progress;
    EXPECT_TRUE(scan.engine->ValidateBootSector(notifier));
    scan.engine->SetReadFolderIndexes(readIndexes);
    drive.reads.clear();
    scan.engine->Scan(progress, notifier);
    scan.reads = drive.reads;
    return scan;
}

using Listed = std::tuple<std::string, std::uint32_t, std::uint32_t, std::uint64_t, std::uint64_t,
                          std::uint32_t, std::uint8_t>;

std::vector<Listed> Listing(const Catalogue& catalogue) {
    std::vector<Listed> listed;
    for (const CatalogueEntry& e : catalogue.Entries())
        listed.emplace_back(std::string(e.Name()), +e.number, +e.parent, +e.size, +e.creationTime,
                            +e.deleted, +e.attribute);
    std::sort(listed.begin(), listed.end());
    return listed;
}

// A volume of a folder of 512 sub-folders, one whose record holds a hundred hard links
// in extension records, and two made by Windows: the scan reads the MFT in one pass of
// large reads, never going back, and nothing but the MFT (a few records read again to
// find it); it lists each entry, hard links included, as the walk through every folder's
// index does.
TEST(ScanReadOrder, OnePassOverTheMftListsWhatTheIndexWalkLists) {
    for (const char* name : {"mkntfs-512-subdirs.dd", "ntfs3-attribute-list.raw",
                             "dftt-7-undel-ntfs.dd", "win10-compressed-attrlist.dd"}) {
        SCOPED_TRACE(name);
        const Bytes image = testing::SharedImageBytes(name).value_or(Bytes());
        if (image.empty()) TARVIK_SKIP_WITHOUT_SHARED_DATA(name);
        const TracedScan onePass = ScanTraced(image, false);
        const TracedScan deep = ScanTraced(image, true);
        const std::uint64_t mftBytes =
            onePass.engine->mftRecordCount() * onePass.engine->geometry().recordSize;
        std::uint64_t bytes = 0;
        std::size_t backward = 0;
        for (std::size_t i = 0; i < onePass.reads.size(); ++i) {
            bytes += onePass.reads[i].bytes;
            const auto& previous = onePass.reads[i > 0 ? i - 1 : 0];
            if (i > 0 && onePass.reads[i].sector < previous.sector + previous.bytes / 512)
                ++backward;
        }
        EXPECT_LE(bytes, mftBytes + (64u << 10));
        EXPECT_LE(backward, 4u);
        EXPECT_GT(deep.reads.size(), onePass.reads.size());
        EXPECT_EQ(Listing(onePass.engine->catalogue()), Listing(deep.engine->catalogue()));
        EXPECT_EQ(onePass.engine->counters().normalFiles, deep.engine->counters().normalFiles);
    }
}

}  // namespace
}  // namespace tarvik
