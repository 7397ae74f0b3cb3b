// A kept scan read back field for field, and refused whole when it is cut, damaged, of
// another format or of another drive; the filter and the name matching the filter bar
// and Find share, with the volume's own files left out on request.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <tuple>

#include "catalogue/folder_table.h"
#include "ntfs_builders.h"
#include "session/entry_filter.h"
#include "session/find_entry.h"
#include "session/saved_conditions.h"
#include "session/saved_scan.h"

namespace tarvik {
namespace {

CatalogueEntry Entry(const char* name, std::uint32_t number, std::uint32_t parent, bool folder,
                     bool deleted, std::uint64_t size) {
    CatalogueEntry entry;
    entry.SetName(name);
    entry.number = number;
    entry.parent = parent;
    entry.attribute = folder ? kAttributeDirectory : kAttributeFile;
    entry.deleted = deleted ? 1 : 0;
    entry.size = size;
    entry.creationTime = 132000000000000000ULL + number;
    entry.modificationTime = 133000000000000000ULL + number;
    return entry;
}

class SavedScanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const CatalogueEntry& entry : {Entry("Photos", 40, 5, true, false, 0),
                                            Entry("beach.JPG", 41, 40, false, false, 1200),
                                            Entry("contrat signé.doc", 42, 5, false, true, 45000),
                                            Entry("notes.txt", 43, 40, false, true, 700)})
            ASSERT_TRUE(catalogue_.Append(entry));
        CatalogueEntry made = Entry("Lost Files", 900, 5, true, false, 0);
        made.madeUp = 1;
        made.madeUpSecond = 1;
        made.compressed = 1;
        ASSERT_TRUE(catalogue_.Append(made));
        identity_ = {1u << 30, 512, 2048, 409600, 0x1234ABCD5678EF00ULL, std::string(64, 'a')};
        snapshot_.sectorsPerCluster = 8;
        snapshot_.bytesPerSector = 512;
        snapshot_.recordSize = 1024;
        snapshot_.volumeSerial = identity_.volumeSerial;
        snapshot_.counters.deletedFiles = 2;
        snapshot_.advanceSearched = true;
        snapshot_.foundRecords = {100, 200};
        snapshot_.foundOrigins = {{7, 3, true, false, 1}};
        snapshot_.foundVolumes = {{8, true, 0}, {2, false, 64}};
        snapshot_.foundByNumber = {{(std::uint64_t{1} << 32) | 7, 1}};
        std::vector<EntryCondition> conditions(catalogue_.Count());
        conditions[1].condition = FileCondition::kIntact;
        conditions[2] = {10,
                         4,
                         4,
                         77,
                         ClusterTaker::kLiveFile,
                         FileCondition::kPartlyOverwritten,
                         UnknownCause::kNone,
                         ReadGap::kNone};
        std::vector<EntryTimes> times(catalogue_.Count(), EntryTimes{1, 2, 3, 4});
        conditions_ = ConditionTable(std::move(times), std::move(conditions));
    }

    std::vector<std::uint8_t> Encoded(bool withConditions = true) const {
        CheckMarks marks(catalogue_.Count());
        marks.Set(1, CheckMark::kChecked);
        marks.Set(4, CheckMark::kPartly);
        return EncodeSavedScan(identity_, snapshot_, catalogue_,
                               withConditions ? &conditions_ : nullptr, &marks);
    }

    static void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
        std::fclose(out);
    }

    static std::string Refusal(std::vector<std::uint8_t> file) {
        std::string error;
        EXPECT_FALSE(SavedScan::Parse(std::move(file), error).has_value());
        return error;
    }

    Catalogue catalogue_;
    SavedDiskIdentity identity_;
    ScanSnapshot snapshot_;
    ConditionTable conditions_;
};

TEST_F(SavedScanTest, EveryFieldComesBackAsItWasSaved) {
    std::string error;
    const auto scan = SavedScan::Parse(Encoded(), error);
    ASSERT_TRUE(scan.has_value()) << error;
    EXPECT_EQ(IdentityMismatch(scan->identity(), identity_), std::nullopt);
    EXPECT_EQ(scan->snapshot().foundRecords, snapshot_.foundRecords);
    EXPECT_EQ(scan->snapshot().foundByNumber, snapshot_.foundByNumber);
    EXPECT_EQ(scan->snapshot().foundVolumes[1].start, 64u);
    EXPECT_EQ(scan->snapshot().foundOrigins[0].volume, 1u);
    EXPECT_EQ(scan->snapshot().counters.deletedFiles, 2u);
    EXPECT_TRUE(scan->snapshot().advanceSearched);
    ASSERT_EQ(scan->entryCount(), catalogue_.Count());
    const auto next = scan->Entries();
    for (std::size_t i = 0; i < catalogue_.Count(); ++i) {
        const CatalogueEntry* entry = next();
        ASSERT_NE(entry, nullptr);
        const CatalogueEntry original = catalogue_.At(i);
        EXPECT_EQ(entry->Name(), original.Name());
        EXPECT_EQ(+entry->attribute, +original.attribute);
        EXPECT_EQ(entry->creationTime, original.creationTime);
        EXPECT_EQ(entry->modificationTime, original.modificationTime);
        EXPECT_EQ(entry->size, original.size);
        EXPECT_EQ(entry->parent, original.parent);
        EXPECT_EQ(entry->number, original.number);
        EXPECT_EQ(entry->deleted, original.deleted);
        EXPECT_EQ(entry->madeUp + entry->madeUpSecond + entry->compressed,
                  original.madeUp + original.madeUpSecond + original.compressed);
    }
    EXPECT_EQ(next(), nullptr);
    EXPECT_EQ(scan->marks(), (std::vector<CheckMark>{CheckMark::kUnchecked, CheckMark::kChecked,
                                                     CheckMark::kUnchecked, CheckMark::kUnchecked,
                                                     CheckMark::kPartly}));
    ASSERT_EQ(scan->conditions().size(), catalogue_.Count());
    EXPECT_EQ(scan->conditions()[2].takerRecord, 77u);
    EXPECT_EQ(scan->conditions()[2].condition, FileCondition::kPartlyOverwritten);
    EXPECT_EQ(scan->times()[3].access, 4u);

    const auto unweighed = SavedScan::Parse(Encoded(false), error);
    ASSERT_TRUE(unweighed.has_value());
    EXPECT_TRUE(unweighed->conditions().empty());
}

void ExpectSameConditions(const ConditionTable& got, const ConditionTable& saved,
                          std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const EntryCondition& a = got.Condition(i);
        const EntryCondition& b = saved.Condition(i);
        EXPECT_EQ(std::tie(a.dataClusters, a.takenClusters, a.takerClusters, a.takerRecord, a.taker,
                           a.condition, a.unknownCause, a.readGap),
                  std::tie(b.dataClusters, b.takenClusters, b.takerClusters, b.takerRecord, b.taker,
                           b.condition, b.unknownCause, b.readGap))
            << i;
        EXPECT_EQ(std::tie(got.Times(i).creation, got.Times(i).access),
                  std::tie(saved.Times(i).creation, saved.Times(i).access))
            << i;
    }
}

// The conditions are read where the mapped file holds them: every kind of value comes
// back, the table outlives the scan it came from, and a table grown for carved files
// keeps what was saved.
TEST_F(SavedScanTest, ConditionsOfEveryKindAreReadInPlaceAndKeptWhenTheTableGrows) {
    std::vector<EntryCondition> conditions(catalogue_.Count());
    std::vector<EntryTimes> times(catalogue_.Count());
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        conditions[i] = conditions_.Condition(i);
        times[i] = {100 + i, 200 + i, 300 + i, 400 + i};
    }
    conditions[0] = {1,
                     1,
                     1,
                     9,
                     ClusterTaker::kOutside,
                     FileCondition::kUnreadable,
                     UnknownCause::kClusterSizeUnverified,
                     ReadGap::kSizePastRuns};
    conditions[3].unknownCause = UnknownCause::kWrittenAgain;
    conditions_ = ConditionTable(std::move(times), std::move(conditions));
    const std::string path = ::testing::TempDir() + "/in-place.tarvikscan";
    const std::vector<std::uint8_t> bytes = Encoded();
    ASSERT_NO_FATAL_FAILURE(WriteFile(path, bytes));
    std::string error;
    std::optional<ConditionTable> table;
    {
        const auto scan = SavedScan::Load(path, error);
        std::remove(path.c_str());
        ASSERT_TRUE(scan.has_value()) << error;
        table = scan->MakeConditions();
    }
    ASSERT_EQ(table->Count(), catalogue_.Count());
    ExpectSameConditions(*table, conditions_, catalogue_.Count());

    CatalogueEntry carved = Entry("found.jpg", 901, 900, false, false, 10);
    carved.carved = kCarvedWhole;
    ASSERT_TRUE(catalogue_.Append(carved));
    table->ExtendFor(catalogue_);
    ASSERT_EQ(table->Count(), catalogue_.Count());
    ExpectSameConditions(*table, conditions_, catalogue_.Count() - 1);
    EXPECT_EQ(table->Times(catalogue_.Count() - 1).creation, 0u);

    // Records that lie where they cannot be read in place are copied, to the same values.
    // The file ends with the times, then the conditions, of the saved entries.
    const std::size_t count = catalogue_.Count() - 1;
    const std::size_t recordBytes = 2 * count * kSavedConditionRecordBytes;
    std::vector<std::uint8_t> shifted(1 + recordBytes);
    std::copy(bytes.end() - static_cast<std::ptrdiff_t>(recordBytes), bytes.end(),
              shifted.begin() + 1);
    const std::uint8_t* const kept = shifted.data() + 1;
    const ConditionTable copied =
        ReadSavedConditions(std::make_shared<const std::uint8_t>(0), kept,
                            kept + count * kSavedConditionRecordBytes, count);
    ExpectSameConditions(copied, conditions_, count);
}

TEST_F(SavedScanTest, ACatalogueTakenOutOfAFileOnDiskAnswersLookupsAsTheSavedOne) {
    const std::string path = ::testing::TempDir() + "/taken-out.tarvikscan";
    const std::vector<std::uint8_t> bytes = Encoded();
    ASSERT_NO_FATAL_FAILURE(WriteFile(path, bytes));
    std::string error;
    auto scan = SavedScan::Load(path, error);
    std::remove(path.c_str());
    ASSERT_TRUE(scan.has_value()) << error;
    // The file is gone from the folder; what was read of it stays usable, and a second
    // catalogue taken out of it is whole too.
    for (int pass = 0; pass < 2; ++pass) {
        const Catalogue taken = scan->MakeCatalogue();
        ASSERT_EQ(taken.Count(), catalogue_.Count());
        for (std::size_t i = 0; i < taken.Count(); ++i) {
            const CatalogueEntry got = taken.At(i);
            const CatalogueEntry saved = catalogue_.At(i);
            EXPECT_EQ(got.Name(), saved.Name());
            EXPECT_EQ(got.size, saved.size);
            EXPECT_EQ(got.creationTime, saved.creationTime);
            EXPECT_EQ(
                got.deleted + 2 * got.madeUp + 4 * got.madeUpSecond + 8 * got.compressed,
                saved.deleted + 2 * saved.madeUp + 4 * saved.madeUpSecond + 8 * saved.compressed);
        }
        EXPECT_EQ(taken.ChildrenOf(40).ToVector(), (std::vector<std::size_t>{1, 3}));
        EXPECT_EQ(taken.FirstWithNumber(900), 4u);
    }
    EXPECT_TRUE(scan->weighed());
    EXPECT_EQ(scan->conditions()[2].taker, ClusterTaker::kLiveFile);
    EXPECT_FALSE(SavedScan::Load(path, error).has_value());
    EXPECT_EQ(error, "it cannot be opened");
    std::fclose(std::fopen(path.c_str(), "wb"));
    EXPECT_FALSE(SavedScan::Load(path, error).has_value());
    EXPECT_EQ(error, "it is not a saved scan");
    std::remove(path.c_str());
}

// Entries a catalogue never holds: a name with a NUL inside, a name running past the
// names, a carved entry (a kept scan holds none). Each is refused before anything is
// read of it.
TEST_F(SavedScanTest, AnEntryNoCatalogueCouldHoldIsRefused) {
    const std::vector<std::uint8_t> whole = Encoded();
    const std::string_view first = "Photos";
    const auto name = std::search(whole.begin(), whole.end(), first.begin(), first.end());
    ASSERT_NE(name, whole.end());
    const auto at = static_cast<std::size_t>(name - whole.begin());
    // The records lie just before the names, 40 bytes each; the first one's word ends them.
    const std::size_t firstWord = at - catalogue_.Count() * sizeof(CatalogueRecord) + 32;
    ASSERT_EQ(whole[firstWord + 5], first.size());  // the name's length, bits 40-47
    auto withNul = whole;
    withNul[at + 2] = 0;
    auto pastNames = whole;
    pastNames[firstWord + 4] = 0x01;  // its place 4 GiB further on
    auto carved = whole;
    carved[firstWord + 6] |= 0x40;  // flag bit 4: found by carving
    for (auto* damaged : {&withNul, &pastNames, &carved}) {
        SealSavedScan(*damaged);
        EXPECT_EQ(Refusal(*damaged), "its contents are inconsistent: the file is damaged");
    }
}

// The index by parent number decides which folder shows a file and where its recovery
// writes it: one that disagrees with the entries in any way is refused, with what is
// wrong, rather than putting a file into another folder.
TEST_F(SavedScanTest, AnIndexThatDisagreesWithTheEntriesIsRefusedWithItsReason) {
    const std::vector<std::uint8_t> whole = Encoded();
    // Parents 5 (entries 0, 2, 4) and 40 (entries 1, 3): each number with where its
    // entries begin in the list, then the list in order of number.
    const std::vector<std::uint8_t> parents = {5, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0,
                                               0, 0, 0, 0, 2, 0, 0, 0, 4,  0, 0, 0, 1, 0, 0, 0};
    const auto found = std::search(whole.begin(), whole.end(), parents.begin(), parents.end());
    ASSERT_NE(found, whole.end());
    const auto at = static_cast<std::size_t>(found - whole.begin());
    const auto damaged = [&](std::size_t offset, std::uint8_t value) {
        auto file = whole;
        file[at + offset] = value;
        SealSavedScan(file);
        return Refusal(file);
    };
    const std::string prefix = "its index by parent number does not match its entries (";
    EXPECT_EQ(damaged(16 + 4, 3), prefix + "it lists entry 3 under 5, which it does not have): " +
                                      "the file is damaged");
    EXPECT_EQ(damaged(16 + 4, 0),
              prefix + "the entries of 5 are not in order): the file is damaged");
    EXPECT_EQ(damaged(16 + 8, 9), prefix + "it lists entry 9 of 5): the file is damaged");
    EXPECT_EQ(damaged(12, 5), prefix + "number 40 lists no entry): the file is damaged");
    EXPECT_EQ(damaged(4, 1),
              prefix + "its first number's entries do not begin its list): the file is damaged");
    EXPECT_EQ(damaged(8, 4), prefix + "its numbers do not rise (4 after 5)): the file is damaged");
}

// The folder tree kept beside the entries is read instead of being placed again: one
// that moves a file into another folder, reorders, repeats or leaves out an entry, or
// leaves an entry unplaced whose folder is shown, is refused with what is wrong.
TEST_F(SavedScanTest, AFolderTreeThatDisagreesWithTheEntriesIsRefusedWithItsReason) {
    const std::vector<std::uint8_t> whole = Encoded(false);
    // Last come the five placed entries, 16 bytes each (index, depth, folder, unplaced),
    // then the byte saying no conditions follow: Photos (0) with its files 1 and 3, Lost
    // Files (4), then the root's file 2.
    const std::size_t placement = whole.size() - 1 - 5 * 16;
    const auto placed = [&](const std::vector<std::uint8_t>& file, std::string& error) {
        std::string parsed;
        const auto scan = SavedScan::Parse(file, parsed);
        EXPECT_TRUE(scan.has_value()) << parsed;
        const Catalogue catalogue = scan->MakeCatalogue();
        const auto kept = scan->Placement(catalogue, error);
        if (!kept) return std::vector<PlacedEntry>{};
        return std::vector<PlacedEntry>(kept->placed.begin(), kept->placed.end());
    };
    std::string error;
    EXPECT_EQ(placed(whole, error), PlaceEntries(catalogue_, BuildFolderTable(catalogue_)));
    const auto refusal = [&](std::size_t position, std::size_t field, std::uint8_t value) {
        auto file = whole;
        file[placement + 16 * position + field] = value;
        SealSavedScan(file);
        std::string why;
        EXPECT_TRUE(placed(file, why).empty());
        return why;
    };
    const std::string prefix = "its folder tree does not match its entries (";
    const std::string damaged = "): the file is damaged";
    EXPECT_EQ(refusal(1, 0, 2),
              prefix + "at position 1, entry 2 is not held by that folder" + damaged);
    EXPECT_EQ(refusal(2, 0, 1),
              prefix + "at position 2, entry 1 is not one left to place" + damaged);
    // Beach one level up: Photos is closed without it.
    EXPECT_EQ(refusal(1, 4, 1),
              prefix + "the folder at position 0 holds 0 entries, not 2" + damaged);
    EXPECT_EQ(refusal(4, 12, 1), prefix + "the root holds 2 entries, not 3" + damaged);
    auto swapped = whole;
    std::swap(swapped[placement + 16], swapped[placement + 32]);
    SealSavedScan(swapped);
    EXPECT_TRUE(placed(swapped, error).empty());
    EXPECT_EQ(error, prefix + "at position 2, entry 1 is out of order" + damaged);
}

// A reopened catalogue reads its entries where the file holds them and is kept again as
// it was; one appended later (a carving after the reopening) joins the same lookups,
// after the kept ones.
TEST_F(SavedScanTest, AnEntryAppendedToAReopenedCatalogueJoinsItsLookups) {
    std::string error;
    const auto scan = SavedScan::Parse(Encoded(), error);
    ASSERT_TRUE(scan.has_value()) << error;
    Catalogue reopened = scan->MakeCatalogue();
    // Kept again as it was read, it makes the same file.
    CheckMarks marks(reopened.Count());
    marks.Set(1, CheckMark::kChecked);
    marks.Set(4, CheckMark::kPartly);
    EXPECT_EQ(EncodeSavedScan(identity_, snapshot_, reopened, &conditions_, &marks), Encoded());
    ASSERT_TRUE(reopened.Append(Entry("later.txt", 41, 40, false, false, 9)));
    ASSERT_TRUE(reopened.Append(Entry("other.txt", 77, 5, false, false, 9)));
    EXPECT_EQ(reopened.ChildrenOf(40).ToVector(), (std::vector<std::size_t>{1, 3, 5}));
    EXPECT_EQ(reopened.WithNumber(41).ToVector(), (std::vector<std::size_t>{1, 5}));
    EXPECT_EQ(reopened.ChildrenOf(5).ToVector(), (std::vector<std::size_t>{0, 2, 4, 6}));
    EXPECT_EQ(reopened.FirstWithNumber(900), 4u);
    EXPECT_EQ(reopened.NameAt(2), "contrat signé.doc");
    EXPECT_EQ(reopened.NameAt(5), "later.txt");
    EXPECT_EQ(reopened.At(4).madeUp, 1u);
}

TEST_F(SavedScanTest, ACutDamagedForeignOrInconsistentFileIsRefusedWithItsReason) {
    const std::vector<std::uint8_t> whole = Encoded();
    EXPECT_EQ(Refusal({}), "it is not a saved scan");
    EXPECT_EQ(Refusal(std::vector<std::uint8_t>(whole.begin(), whole.end() - 1)),
              "it is cut short");
    auto flipped = whole;
    flipped[flipped.size() / 2] ^= 0x40;
    EXPECT_EQ(Refusal(flipped), "its checksum does not match: the file is damaged");
    auto later = whole;
    later[8] = 5;
    EXPECT_NE(Refusal(later).find("format 5"), std::string::npos);
    // A scan kept before its entries were laid out to be read in place.
    auto older = whole;
    older[8] = 3;
    SealSavedScan(older);
    EXPECT_NE(Refusal(older).find("format 3, which this version cannot read (it reads format 4)"),
              std::string::npos);
    // Sealed again, so only the reader's own checks stand between the bytes and the
    // catalogue: a count of found records far past the file (after the 64-byte header,
    // the identity's 104 bytes and the snapshot's 69), and a condition no table has.
    for (const auto& [at, length] :
         {std::pair{std::size_t{64 + 104 + 69}, 8}, {whole.size() - 1, 1}}) {
        auto damaged = whole;
        for (std::size_t i = at; i < at + static_cast<std::size_t>(length); ++i) damaged[i] = 0xFF;
        SealSavedScan(damaged);
        EXPECT_EQ(Refusal(damaged), "its contents are inconsistent: the file is damaged") << at;
    }
    snapshot_.foundByNumber = {{7, 2}};
    EXPECT_EQ(Refusal(Encoded()), "its contents are inconsistent: the file is damaged");
}

TEST_F(SavedScanTest, AnotherDiskOrVolumeIsNamedAsTheReason) {
    SavedDiskIdentity other = identity_;
    EXPECT_EQ(IdentityMismatch(identity_, other), std::nullopt);
    other.diskBytes = 0;  // not known: not held against it
    EXPECT_EQ(IdentityMismatch(identity_, other), std::nullopt);
    other.volumeSerial = 1;
    EXPECT_EQ(IdentityMismatch(identity_, other),
              "the volume's serial number differs from the scanned one's");
    other = identity_;
    other.bootSectorHash = std::string(64, 'b');
    EXPECT_EQ(IdentityMismatch(identity_, other),
              "the volume's boot sector differs from the scanned one's");
    other = identity_;
    other.diskBytes = 2u << 30;
    EXPECT_NE(IdentityMismatch(identity_, other)->find("2147483648 bytes"), std::string::npos);
}

TEST_F(SavedScanTest, TheFilterLetsThroughWhatItNamesAndFindMatchesPartOfAName) {
    EXPECT_TRUE(NameFits("beach.JPG", "jpg", false));
    EXPECT_FALSE(NameFits("beach.JPG", "jpg", true));
    EXPECT_TRUE(NameFits("beach.JPG", "*.jpg", false));
    EXPECT_TRUE(NameFits("beach.JPG", "b?ach*", false));
    EXPECT_FALSE(NameFits("beach.JPG", "*.jpeg", false));
    EXPECT_FALSE(NameFits("beach.JPG.bak", "*.jpg", false));
    EXPECT_TRUE(NameFits("CONTRAT SIGNÉ.DOC", "signé", false));
    EXPECT_TRUE(NameFits("anything", "", false));
    EXPECT_EQ(FindEntry(catalogue_, "jpg", FindOptions{}, 0), 1u);

    EntryFilter filter;
    EXPECT_EQ(FilterCatalogue(catalogue_, filter, nullptr).size(), catalogue_.Count());
    filter.text = "t";
    EXPECT_EQ(FilterCatalogue(catalogue_, filter, nullptr), (std::vector<std::size_t>{0, 2, 3, 4}));
    filter.deletedOnly = true;
    EXPECT_EQ(FilterCatalogue(catalogue_, filter, nullptr), (std::vector<std::size_t>{2, 3}));
    filter = {};
    filter.minSize = 701;
    filter.maxSize = 45000;
    EXPECT_EQ(FilterCatalogue(catalogue_, filter, nullptr), (std::vector<std::size_t>{1, 2}));
    filter = {};
    filter.conditions = {FileCondition::kIntact};
    EXPECT_TRUE(FilterCatalogue(catalogue_, filter, nullptr).empty());
    EXPECT_EQ(FilterCatalogue(catalogue_, filter, &conditions_), (std::vector<std::size_t>{1}));
    filter = {};
    filter.createdFrom = 132000000000000042ULL;
    filter.createdTo = 132000000000000043ULL;
    EXPECT_EQ(FilterCatalogue(catalogue_, filter, nullptr), (std::vector<std::size_t>{2, 3}));
}

// The volume's own files are its metafiles in the root and all below $Extend; a user's
// name beginning with "$", a low number away from the root, a loop of folders and a
// made-up folder are not.
TEST(SystemEntries, MetafilesAndExtendAreHiddenAndNothingElse) {
    Catalogue catalogue;
    const auto add = [&](const char* name, std::uint32_t number, std::uint32_t parent, bool folder,
                         bool madeUp = false) {
        CatalogueEntry entry = Entry(name, number, parent, folder, false, folder ? 0 : 10);
        entry.madeUp = madeUp ? 1 : 0;
        ASSERT_TRUE(catalogue.Append(entry));
    };
    add("$MFT", 0, 5, false);             // 0
    add("$LogFile", 2, 5, false);         // 1
    add("$Extend", 11, 5, true);          // 2
    add("$ObjId", 24, 11, false);         // 3
    add("$RmMetadata", 27, 11, true);     // 4
    add("$Txf", 28, 27, true);            // 5
    add("$TxfLog.blf", 29, 28, false);    // 6
    add("$Recycle.Bin", 40, 5, true);     // 7: a user's folder
    add("$I30 copy.txt", 12, 40, false);  // 8: low number, not in the root
    add("notes.txt", 41, 5, false);       // 9
    add("a", 50, 51, true);               // 10: a loop of folders
    add("b", 51, 50, true);               // 11
    add("Lost Files", 3, 5, true, true);  // 12: made up, low number
    add("found.bin", 60, 3, false);       // 13
    std::vector<std::size_t> system;
    for (std::size_t i = 0; i < catalogue.Count(); ++i)
        if (IsSystemEntry(catalogue, i)) system.push_back(i);
    EXPECT_EQ(system, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(IsSystemEntry(catalogue, catalogue.Count()));

    EntryFilter filter;
    filter.hideSystem = true;
    EXPECT_EQ(FilterCatalogue(catalogue, filter, nullptr),
              (std::vector<std::size_t>{7, 8, 9, 10, 11, 12, 13}));
    filter.text = "$";
    EXPECT_EQ(FilterCatalogue(catalogue, filter, nullptr), (std::vector<std::size_t>{7, 8}));
}

}  // namespace
}  // namespace tarvik
