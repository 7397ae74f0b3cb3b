#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/file_condition.h"
#include "disk/memory_sector_source.h"
#include "recovery/recovery_report.h"
#include "recovery/sha256.h"
#include "scan/scan_engine.h"
#include "session/recovery_session.h"
#include "shared_images.h"
#include "temp_image.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

std::string Sha256Of(const std::string& text, std::size_t piece) {
    Sha256 sha;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        const std::string part = text.substr(at, piece);
        sha.Update({reinterpret_cast<const std::uint8_t*>(part.data()), part.size()});
    }
    return sha.HexDigest();
}

TEST(Sha256Test, KnownDigestsWhateverTheWritesAreCutInto) {
    EXPECT_EQ(Sha256Of("", 1), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Of("abc", 1),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the block it ends in.
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (std::size_t piece : {1u, 7u, 55u, 56u, 64u})
        EXPECT_EQ(Sha256Of(two, piece),
                  "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string million(1'000'000, 'a');
    EXPECT_EQ(Sha256Of(million, 4093),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(ConditionTextTest, PreciseTimesAndTheChoiceOfFiles) {
    // 2004-02-29T20:00:17 UTC and 1234567 ticks.
    EXPECT_EQ(FormatPreciseTime(127225584171234567ull), "2004-02-29T20:00:17.1234567Z");
    EXPECT_EQ(FormatPreciseTime(127225584170000000ull), "2004-02-29T20:00:17.0000000Z");
    EXPECT_EQ(FormatPreciseTime(0), "-");

    EXPECT_TRUE(ConditionPasses(FileCondition::kOverwritten, ConditionChoice::kAny));
    EXPECT_TRUE(ConditionPasses(FileCondition::kIntact, ConditionChoice::kIntact));
    EXPECT_FALSE(ConditionPasses(FileCondition::kPartlyOverwritten, ConditionChoice::kIntact));
    EXPECT_FALSE(ConditionPasses(FileCondition::kUnknown, ConditionChoice::kIntact));
    EXPECT_TRUE(ConditionPasses(FileCondition::kPartlyOverwritten, ConditionChoice::kPartial));
    EXPECT_TRUE(ConditionPasses(FileCondition::kUnknown, ConditionChoice::kPartial));
    EXPECT_FALSE(ConditionPasses(FileCondition::kOverwritten, ConditionChoice::kPartial));
    // Nothing of an unreadable file can be written; a partly unreadable one is partial.
    EXPECT_FALSE(ConditionPasses(FileCondition::kUnreadable, ConditionChoice::kPartial));
    EXPECT_TRUE(ConditionPasses(FileCondition::kPartlyUnreadable, ConditionChoice::kPartial));
    EXPECT_FALSE(ConditionPasses(FileCondition::kPartlyUnreadable, ConditionChoice::kIntact));
    EXPECT_STREQ(ConditionWord(FileCondition::kPartlyUnreadable), "partly unreadable");
    EXPECT_STREQ(ConditionWord(FileCondition::kUnreadable), "unreadable");
}

TEST(RecoveryReportTest, EveryRowIsOneLineOfElevenFields) {
    RecoveryReport report;
    ReportRow row;
    row.path = "out/Root/a\tb\nc\\d";
    row.size = 5;
    row.sha256 = "ab";
    row.condition = "partly unreadable";
    row.record = 42;
    row.times.modification = 127225584171234567ull;
    row.unreadableSectors = 3;
    report.Add(row);
    report.NameSource("shadow copy 1\t(x)");
    const std::string text = report.Text();
    std::istringstream lines(text);
    std::string header, line, rest;
    std::getline(lines, header);
    std::getline(lines, line);
    EXPECT_FALSE(std::getline(lines, rest));
    EXPECT_EQ(std::count(header.begin(), header.end(), '\t'), 10);
    EXPECT_EQ(line,
              "out/Root/a\\tb\\nc\\\\d\t5\tab\tpartly unreadable\t42\t-\t"
              "2004-02-29T20:00:17.1234567Z\t-\t-\t3\tshadow copy 1\\t(x)");
    EXPECT_FALSE(report.Save("/nonexistent-folder/report.tsv").empty());
}

// On the DFTT volume written by Windows XP, whose deleted files all come back whole:
// each is intact, carries its record's times, and is written back with them.
TEST(SessionConditionTest, DeletedFilesOfAWindowsVolumeComeBackIntactWithTheirTimes) {
    const auto volume = testing::SharedImageBytes("dftt-7-undel-ntfs.dd");
    if (!volume) TARVIK_SKIP_WITHOUT_SHARED_DATA("dftt-7-undel-ntfs.dd.xz");
    testing::TempImage image(static_cast<std::uint32_t>(volume->size() / 512));
    image.WriteBytes(0, volume->data(), volume->size());
    const fs::path out = fs::temp_directory_path() / ("tarvik-cond-" + std::to_string(::getpid()));
    fs::remove_all(out);
    ::unsetenv("TARVIK_DISKS");

    RecoverySession session;
    NullProgressSink progress;
    NullNotifier notifier;
    ASSERT_EQ(session.LoadDisks({image.path()}, false), std::nullopt);
    ASSERT_TRUE(session.FindDrives(0, DriveDiscovery::kPartitionTable, progress, notifier));
    ASSERT_EQ(session.OpenFirstNtfsDrive(notifier), DriveOpening::kOpened);
    session.Scan(progress, notifier);
    EXPECT_EQ(session.MadeConditions(), nullptr);
    const ConditionTable& table = session.Conditions(progress);
    const Catalogue& catalogue = session.GetCatalogue();
    ASSERT_EQ(table.Count(), catalogue.Count());
    std::size_t frag1 = catalogue.Count();
    std::size_t deletedFiles = 0;
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        const CatalogueEntry& entry = catalogue.At(i);
        if (entry.IsDirectory() || !entry.IsDeleted()) continue;
        ++deletedFiles;
        EXPECT_EQ(table.Condition(i).condition, FileCondition::kIntact) << entry.Name();
        if (entry.Name() == "frag1.dat") frag1 = i;
    }
    EXPECT_EQ(deletedFiles, 8u);
    ASSERT_LT(frag1, catalogue.Count());
    EXPECT_EQ(table.Condition(frag1).dataClusters, 2u);  // 1584 bytes in 1 KiB clusters
    EXPECT_EQ(session.ConditionReason(frag1),
              "All 2 clusters are free and claimed by no later file");
    // istat: File Modified 2004-02-29 20:00:40.698915200 (UTC).
    EXPECT_EQ(FormatPreciseTime(table.Times(frag1).modification), "2004-02-29T20:00:40.6989152Z");

    RecoverySession::RecoverChoice choice;
    choice.keepReport = true;
    const RecoveryResult result =
        session.Recover(out.string(), RecoveryMode::kDeleted, choice, progress, notifier);
    EXPECT_EQ(result.filesWritten, 8u);
    struct stat st {};
    ASSERT_EQ(::stat((out / "Root/frag1.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1078084840);
    EXPECT_EQ(st.st_mtim.tv_nsec, 698915200);
    ASSERT_EQ(session.LastReport().Rows().size(), 8u);
    for (const ReportRow& row : session.LastReport().Rows()) {
        if (row.path.ends_with("/frag1.dat")) {
            EXPECT_EQ(row.sha256,
                      "bd859916c83cdc3b1c17eee34f7f88270f5ad763a44f79997a6fda68b85e7760");
        }
    }
    fs::remove_all(out);
}

// A drive in memory that tells whether a read touched the sectors it watches.
class NotedSource final : public SectorSource {
  public:
    explicit NotedSource(std::vector<std::uint8_t> bytes) : memory_(std::move(bytes)) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        const std::uint64_t end = sector.value() + buffer.size() / 512;
        touched = touched || (sector.value() < watch.second && end > watch.first);
        return memory_.Read(sector, buffer);
    }
    std::pair<std::uint64_t, std::uint64_t> watch;
    bool touched = false;

  private:
    MemorySectorSource memory_;
};

// The condition table takes what the scan's own pass over the MFT gathered, reading no
// record of the MFT again, and comes out as the table made by reading the MFT anew:
// volumes whose deleted files have runs, attribute lists and compressed data.
TEST(ConditionFactsTest, TheScanPassGivesTheTableThatReadingTheMftAgainGives) {
    for (const char* name :
         {"dftt-7-undel-ntfs.dd", "win10-compressed-attrlist.dd", "ntfs3-attribute-list.raw"}) {
        SCOPED_TRACE(name);
        const auto volume = testing::SharedImageBytes(name);
        if (!volume) TARVIK_SKIP_WITHOUT_SHARED_DATA(name);
        const std::uint64_t sectors = volume->size() / 512;
        auto source = std::make_unique<NotedSource>(*volume);
        NotedSource& drive = *source;
        ScanEngine engine(kFirstPhysicalDisk, DiskSector(0), sectors, std::move(source));
        NullNotifier notifier;
        NullProgressSink progress;
        ASSERT_TRUE(engine.ValidateBootSector(notifier));
        ConditionFacts facts(engine);
        engine.Scan(progress, notifier, nullptr, &facts);
        ASSERT_TRUE(facts.whole());

        // The MFT's first records, which a pass over the MFT reads whatever else it does
        // (record 6, $Bitmap's, is read again for its runs).
        const std::uint64_t mftStart = engine.geometry().mftStart.value();
        const std::uint64_t mftHead = mftStart + 6 * engine.geometry().recordSize / 512;
        drive.touched = false;
        drive.watch = {mftStart, mftHead};
        const ConditionTable gathered = ConditionTable::Build(engine, progress, nullptr, &facts);
        EXPECT_FALSE(drive.touched);
        EXPECT_FALSE(facts.whole());  // used up
        const ConditionTable reread = ConditionTable::Build(engine, progress);
        EXPECT_TRUE(drive.touched);

        ASSERT_EQ(gathered.Count(), engine.catalogue().Count());
        ASSERT_EQ(reread.Count(), gathered.Count());
        EXPECT_EQ(gathered.order(), reread.order());
        std::size_t withTimes = 0;
        for (std::size_t i = 0; i < gathered.Count(); ++i) {
            const EntryTimes& a = gathered.Times(i);
            const EntryTimes& b = reread.Times(i);
            EXPECT_EQ(std::tie(a.creation, a.modification, a.recordChange, a.access),
                      std::tie(b.creation, b.modification, b.recordChange, b.access));
            withTimes += a.modification != 0;
            const EntryCondition& c = gathered.Condition(i);
            const EntryCondition& d = reread.Condition(i);
            EXPECT_EQ(std::tie(c.condition, c.unknownCause, c.dataClusters, c.takenClusters,
                               c.taker, c.takerRecord, c.takerClusters),
                      std::tie(d.condition, d.unknownCause, d.dataClusters, d.takenClusters,
                               d.taker, d.takerRecord, d.takerClusters))
                << engine.catalogue().At(i).Name();
        }
        EXPECT_GT(withTimes * 2, gathered.Count());
    }
}

}  // namespace
}  // namespace tarvik
