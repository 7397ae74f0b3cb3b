#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "disk/memory_sector_source.h"
#include "ntfs_builders.h"
#include "recovery/destination_check.h"
#include "recovery/recovery_writer.h"
#include "recovery/safe_names.h"
#include "scan/scan_state.h"
#include "small_stack.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/tarvik-recover-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

// A drive in memory that notes the first sector of every read.
class TracedMemory final : public SectorSource {
  public:
    explicit TracedMemory(std::vector<std::uint8_t> bytes) : memory_(std::move(bytes)) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        reads.push_back(sector.value());
        return memory_.Read(sector, buffer);
    }
    std::vector<std::uint8_t>& bytes() { return memory_.bytes(); }
    std::vector<std::uint64_t> reads;

  private:
    MemorySectorSource memory_;
};

// A drive in memory whose records are placed through the sector table: record n at
// sector 2n, its data (non-resident files) at sector 1000 on.
class MemoryDrive {
  public:
    MemoryDrive() : engine(MadeState()) {}
    void AddFolder(std::uint32_t number, std::uint32_t parent, const char* name) {
        CatalogueEntry entry;
        entry.SetName(name);
        entry.attribute = kAttributeDirectory;
        entry.number = number;
        entry.parent = parent;
        state_->catalogue.Append(entry);
    }
    // A file of `sectors` sectors of the byte `fill`, one run.
    void AddFile(std::uint32_t number, std::uint32_t parent, const char* name,
                 std::uint32_t sectors, std::uint8_t fill) {
        const std::uint32_t lcn = nextData_;
        nextData_ += sectors;
        AddPieces(number, parent, name, {{lcn, sectors, fill}});
    }
    struct Piece {
        std::uint32_t lcn;
        std::uint32_t sectors;
        std::uint8_t fill;
    };
    // A file of the pieces in file order, each of `sectors` sectors of its byte at `lcn`.
    void AddPieces(std::uint32_t number, std::uint32_t parent, const char* name,
                   const std::vector<Piece>& pieces) {
        auto& bytes = traced().bytes();
        std::vector<std::uint8_t> runs;
        std::int64_t previous = 0;
        std::uint32_t sectors = 0;
        for (const Piece& piece : pieces) {
            std::fill_n(bytes.begin() + piece.lcn * 512, piece.sectors * 512, piece.fill);
            const std::int64_t delta = std::int64_t{piece.lcn} - previous;
            previous = piece.lcn;
            runs.insert(
                runs.end(),
                {0x32, static_cast<std::uint8_t>(piece.sectors),
                 static_cast<std::uint8_t>(piece.sectors >> 8), static_cast<std::uint8_t>(delta),
                 static_cast<std::uint8_t>(delta >> 8), static_cast<std::uint8_t>(delta >> 16)});
            sectors += piece.sectors;
        }
        runs.push_back(0);
        const std::uint64_t size = std::uint64_t{sectors} * 512;
        auto record = testing::RecordBuilder()
                          .NonResidentExtent(0x80, runs, 0, sectors - 1, size, size, size)
                          .OnDisk(0x0101);
        std::copy(record.begin(), record.end(), bytes.begin() + number * 2 * 512);
        state_->foundRecords[number] = DriveSector(number * 2);
        CatalogueEntry entry;
        entry.SetName(name);
        entry.attribute = kAttributeFile;
        entry.number = number;
        entry.parent = parent;
        entry.size = static_cast<std::uint32_t>(size);
        entry.creationTime = 132'000'000'000'000'000ull;  // 2019-04-18
        state_->catalogue.Append(entry);
    }

  private:
    std::unique_ptr<ScanState> MadeState() {
        DriveGeometry geometry;
        geometry.sizeInSectors = 4096;
        geometry.sectorsPerCluster = 1;
        geometry.bytesPerSector = 512;
        geometry.recordSize = 1024;
        auto state = std::make_unique<ScanState>(
            geometry, std::make_unique<TracedMemory>(std::vector<std::uint8_t>(4096 * 512)));
        state->foundRecords.assign(256, DriveSector(0));
        state_ = state.get();
        return state;
    }
    ScanState* state_ = nullptr;  // owned by the engine

  public:
    TracedMemory& traced() { return static_cast<TracedMemory&>(engine.source()); }
    ScanEngine engine;

  private:
    std::uint32_t nextData_ = 1000;
};

// Sets the stop request once a number of sectors are written.
class StopAfter final : public NullProgressSink {
  public:
    StopAfter(StopFlag& stop, std::uint64_t sectors) : stop_(stop), sectors_(sectors) {}
    void SetPosition(std::uint64_t position) override {
        if (position >= sectors_) stop_.store(true);
    }

  private:
    StopFlag& stop_;
    std::uint64_t sectors_;
};

// Records the progress a recovery reports.
class ProgressLog final : public NullProgressSink {
  public:
    void SetRange(std::uint64_t low, std::uint64_t high) override { ranges.push_back({low, high}); }
    void SetPosition(std::uint64_t position) override { positions.push_back(position); }
    void StepIt() override { ++steps; }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    std::vector<std::uint64_t> positions;
    int steps = 0;
};

class CountingNotifier final : public Notifier {
  public:
    void Notify(const std::string& text, const std::string&, NoticeIcon) override {
        last = text;
        ++count;
    }
    std::string last;
    int count = 0;
};

// Sets the soft limit on open descriptors for the life of a test.
class DescriptorLimit {
  public:
    DescriptorLimit() { ::getrlimit(RLIMIT_NOFILE, &saved_); }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
    bool Set(rlim_t soft) {
        if (soft > saved_.rlim_max) return false;
        const rlimit limit{soft, saved_.rlim_max};
        return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }

  private:
    rlimit saved_{};
};

// Goes down a chain of folders named "d" from `root` with one descriptor per level, and
// removes the chain on the way back (paths that deep are beyond PATH_MAX). Returns the
// depth, and whether the deepest folder held `file`.
std::pair<std::size_t, bool> MeasureAndRemoveChain(const fs::path& root, const char* file) {
    std::vector<int> levels{::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    while (true) {
        const int next = ::openat(levels.back(), "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (next < 0) break;
        levels.push_back(next);
    }
    const bool held = ::unlinkat(levels.back(), file, 0) == 0;
    for (std::size_t level = levels.size() - 1; level > 0; --level) {
        ::close(levels[level]);
        ::unlinkat(levels[level - 1], "d", AT_REMOVEDIR);
    }
    ::close(levels[0]);
    return {levels.size() - 1, held};
}

TEST(SafeName, HostileNamesStayInsideAndDuplicatesGetNumbers) {
    EXPECT_EQ(SafeName(".."), "_..");
    EXPECT_EQ(SafeName("."), "_.");
    EXPECT_EQ(SafeName(""), "_");
    EXPECT_EQ(SafeName("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(SafeName(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(SafeName("日本語.txt"), "日本語.txt");
    FolderNames names;
    EXPECT_EQ(names.Claim("a.txt"), "a.txt");
    EXPECT_EQ(names.Claim("a.txt"), "a (2).txt");
    EXPECT_EQ(names.Claim("a.txt"), "a (3).txt");
    EXPECT_EQ(names.Claim("a (2).txt"), "a (2) (2).txt");
    EXPECT_EQ(names.Claim(".profile"), ".profile");
    EXPECT_EQ(names.Claim(".profile"), ".profile (2)");
    EXPECT_EQ(names.Claim("noext"), "noext");
    EXPECT_EQ(names.Claim("noext"), "noext (2)");
}

// Two names that fill the 255 bytes a name may have: the second still fits with its
// number, cut before it on a character boundary, and both are written.
TEST(SafeName, NumberedNamesStillFitTheLongestName) {
    const std::string stem = std::string(249, 'a') + "\xC3\xA9";  // 251 bytes, ends in e-acute
    FolderNames names;
    EXPECT_EQ(names.Claim(stem + ".txt"), stem + ".txt");
    EXPECT_EQ(names.Claim(stem + ".txt"), std::string(247, 'a') + " (2).txt");
    const std::string bare =
        std::string(252, 'b') + "\xE2\x82\xAC";  // 255 bytes, ends in a euro sign
    EXPECT_EQ(names.Claim(bare), bare);
    EXPECT_EQ(names.Claim(bare), std::string(251, 'b') + " (2)");

    MemoryDrive drive;
    drive.AddFile(20, kRootFolderNumber, (stem + ".txt").c_str(), 1, '1');
    drive.AddFile(21, kRootFolderNumber, (stem + ".txt").c_str(), 1, '2');
    TempDir out;
    NullProgressSink progress;
    CountingNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    EXPECT_EQ(result.filesWritten, 2u);
    EXPECT_EQ(result.filesFailed, 0u);
    EXPECT_TRUE(fs::exists(out.path / "Root" / (std::string(247, 'a') + " (2).txt")));
}

TEST(RecoveryWriter, NamesStayUnderRootAndDoNotOverwriteEachOther) {
    MemoryDrive drive;
    drive.AddFolder(20, kRootFolderNumber, "..");
    drive.AddFile(21, 20, "inside.bin", 1, 'i');
    drive.AddFile(22, kRootFolderNumber, "../escape.bin", 1, 'e');
    drive.AddFile(23, kRootFolderNumber, "same.txt", 1, '1');
    drive.AddFile(24, kRootFolderNumber, "same.txt", 2, '2');
    drive.AddFolder(25, kRootFolderNumber, "same.txt");
    drive.AddFolder(26, 25, "loop");
    drive.AddFolder(25, 26, "back to 25");  // a parent cycle by number
    TempDir out;
    NullProgressSink progress;
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    const fs::path root = out.path / "Root";
    EXPECT_EQ(result.filesWritten, 4u);
    EXPECT_EQ(result.bytesWritten, 5u * 512);
    EXPECT_TRUE(fs::is_regular_file(root / "_.." / "inside.bin"));
    EXPECT_TRUE(fs::is_regular_file(root / ".._escape.bin"));
    EXPECT_EQ(fs::file_size(root / "same.txt"), 512u);
    EXPECT_EQ(fs::file_size(root / "same (2).txt"), 1024u);
    EXPECT_TRUE(fs::is_directory(root / "same (3).txt" / "loop" / "back to 25"));
    EXPECT_TRUE(fs::is_empty(root / "same (3).txt" / "loop" / "back to 25"));
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(out.path), {}), 9);
    // The entry's calendar date at midnight UTC.
    struct stat st {};
    ASSERT_EQ(::stat((root / "same.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime % 86400, 0);
    EXPECT_EQ(st.st_mtime, st.st_atime);
}

TEST(RecoveryWriter, SelectedAndDeletedModes) {
    MemoryDrive drive;
    drive.AddFolder(20, kRootFolderNumber, "partly");
    drive.AddFile(21, 20, "checked.bin", 1, 'c');
    drive.AddFile(22, 20, "unchecked.bin", 1, 'u');
    drive.AddFolder(23, kRootFolderNumber, "unchecked");
    drive.AddFile(24, 23, "checked-below-unchecked.bin", 1, 'x');
    CheckMarks marks(drive.engine.catalogue().Count());
    marks.Set(0, CheckMark::kPartly);
    marks.Set(1, CheckMark::kChecked);
    marks.Set(4, CheckMark::kChecked);
    TempDir out;
    NullProgressSink progress;
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    writer.SetSelection(&marks);
    EXPECT_EQ(writer.Run(out.path.string(), RecoveryMode::kSelected, "").filesWritten, 1u);
    EXPECT_TRUE(fs::exists(out.path / "Root/partly/checked.bin"));
    EXPECT_FALSE(fs::exists(out.path / "Root/unchecked"));

    TempDir deleted;
    const RecoveryResult none = writer.Run(deleted.path.string(), RecoveryMode::kDeleted, "");
    EXPECT_EQ(none.filesWritten, 0u);
    EXPECT_TRUE(fs::is_directory(deleted.path / "Root/unchecked"));  // every folder made
}

// The tally a progress display reads: the files and bytes a recovery will write once it
// has planned them, each file counted once when it is done with, a file that cannot be
// created too; files the mode, the marks or an empty size leave out are not counted.
TEST(RecoveryWriter, TheTallyCountsEveryFileToWriteOnceWhateverBecomesOfIt) {
    MemoryDrive drive;
    drive.AddFolder(20, kRootFolderNumber, "docs");
    drive.AddFile(21, 20, "a.bin", 2, 'a');
    drive.AddFile(22, 20, "b.bin", 3, 'b');
    drive.AddFile(23, kRootFolderNumber, "c.bin", 1, 'c');
    NullProgressSink progress;
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    RecoveryTally tally;
    writer.SetTally(&tally);
    TempDir all;
    const RecoveryResult result = writer.Run(all.path.string(), RecoveryMode::kAll, "");
    EXPECT_EQ(result.filesWritten, 3u);
    EXPECT_TRUE(tally.planned);
    EXPECT_EQ(tally.filesTotal, 3u);
    EXPECT_EQ(tally.bytesTotal, 6u * 512);
    EXPECT_EQ(tally.filesDone, 3u);
    EXPECT_EQ(tally.bytesDone, 6u * 512);

    // One file chosen: the totals are that file's alone.
    CheckMarks marks(drive.engine.catalogue().Count());
    marks.Set(0, CheckMark::kPartly);
    marks.Set(2, CheckMark::kChecked);
    writer.SetSelection(&marks);
    TempDir one;
    EXPECT_EQ(writer.Run(one.path.string(), RecoveryMode::kSelected, "").filesWritten, 1u);
    EXPECT_EQ(tally.filesTotal, 1u);
    EXPECT_EQ(tally.bytesTotal, 3u * 512);
    EXPECT_EQ(tally.bytesDone, 3u * 512);

    // A file that cannot be written whole (past the size the process may write) fails,
    // and still counts as done.
    MemoryDrive limited;
    limited.AddFile(20, kRootFolderNumber, "small.bin", 2, 's');
    limited.AddFile(21, kRootFolderNumber, "big.bin", 16, 'b');
    RecoveryWriter cut(limited.engine, progress, notifier);
    cut.SetTally(&tally);
    TempDir full;
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{4096, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const RecoveryResult failed = cut.Run(full.path.string(), RecoveryMode::kAll, "");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(failed.filesFailed, 1u);
    EXPECT_EQ(tally.filesTotal, 2u);
    EXPECT_EQ(tally.filesDone, 2u);
    EXPECT_EQ(tally.bytesDone, 18u * 512);
}

TEST(RecoveryWriter, StopMidFileRemovesThePartialFileAndLeavesNothingOpen) {
    MemoryDrive drive;
    drive.AddFile(20, kRootFolderNumber, "big.bin", 64, 'b');
    drive.AddFile(21, kRootFolderNumber, "after.bin", 4, 'a');
    TempDir out;
    StopFlag stop{false};
    StopAfter progress(stop, 10);
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier, &stop);
    writer.SetMaxRequestBytes(4 * 512);
    const std::size_t before = OpenDescriptors();
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.filesWritten, 0u);
    EXPECT_EQ(result.bytesWritten, 0u);
    EXPECT_FALSE(fs::exists(out.path / "Root/big.bin"));
    EXPECT_FALSE(fs::exists(out.path / "Root/after.bin"));
    EXPECT_TRUE(fs::is_empty(out.path / "Root"));
}

// A second recovery into the same folder, and files put there by hand, are never
// overwritten: each new file takes the next free " (n)" name.
TEST(RecoveryWriter, ExistingFilesInTheDestinationAreNeverOverwritten) {
    MemoryDrive drive;
    drive.AddFolder(20, kRootFolderNumber, "docs");
    drive.AddFile(21, 20, "a.txt", 1, 'n');
    drive.AddFile(22, 20, "a.txt", 2, 'm');
    TempDir out;
    fs::create_directories(out.path / "Root/docs");
    {
        std::ofstream mine(out.path / "Root/docs/a (2).txt");
        mine << "mine";
    }
    NullProgressSink progress;
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    EXPECT_EQ(writer.Run(out.path.string(), RecoveryMode::kAll, "").filesWritten, 2u);
    EXPECT_EQ(writer.Run(out.path.string(), RecoveryMode::kAll, "").filesWritten, 2u);
    const fs::path docs = out.path / "Root/docs";
    EXPECT_EQ(fs::file_size(docs / "a (2).txt"), 4u);  // untouched
    EXPECT_EQ(fs::file_size(docs / "a.txt"), 512u);
    EXPECT_EQ(fs::file_size(docs / "a (3).txt"), 1024u);
    EXPECT_EQ(fs::file_size(docs / "a (4).txt"), 512u);
    EXPECT_EQ(fs::file_size(docs / "a (5).txt"), 1024u);
    EXPECT_EQ(std::distance(fs::directory_iterator(docs), {}), 5);
}

TEST(RecoveryWriter, ProgressIsAPositionInTheFilesSectorsPerReadRequest) {
    MemoryDrive drive;
    drive.AddFile(20, kRootFolderNumber, "big.bin", 64, 'b');
    TempDir out;
    ProgressLog progress;
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    writer.SetMaxRequestBytes(16 * 512);
    EXPECT_EQ(writer.Run(out.path.string(), RecoveryMode::kAll, "").filesWritten, 1u);
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{0, 64}}));
    EXPECT_EQ(progress.positions, (std::vector<std::uint64_t>{0, 16, 32, 48, 64}));
    EXPECT_EQ(progress.steps, 0);
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file in two pieces with other files' data between them and before them on the
// drive: the data is read once, in the order of its place on the drive, and each file
// comes out whole and dated, the split one after its last piece.
TEST(RecoveryWriter, DataIsReadInDiskOrderAndSplitFilesComeOutWhole) {
    MemoryDrive drive;
    drive.AddPieces(20, kRootFolderNumber, "split.bin", {{1300, 4, 'b'}, {1100, 2, 'a'}});
    drive.AddPieces(21, kRootFolderNumber, "middle.bin", {{1200, 3, 'm'}});
    drive.AddPieces(22, kRootFolderNumber, "first.bin", {{1000, 1, 'f'}});
    TempDir out;
    NullProgressSink progress;
    CountingNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    const std::size_t before = OpenDescriptors();
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(result.filesWritten, 3u);
    EXPECT_EQ(result.bytesWritten, 10u * 512);
    EXPECT_EQ(notifier.count, 0) << notifier.last;
    // The gaps between the pieces, far larger than the pieces, are jumped over, not read.
    std::vector<std::uint64_t> data;
    for (const std::uint64_t sector : drive.traced().reads)
        if (sector >= 1000) data.push_back(sector);
    EXPECT_EQ(data, (std::vector<std::uint64_t>{1000, 1100, 1200, 1300}));
    EXPECT_EQ(FileText(out.path / "Root/split.bin"),
              std::string(2048, 'b') + std::string(1024, 'a'));
    EXPECT_EQ(FileText(out.path / "Root/middle.bin"), std::string(1536, 'm'));
    EXPECT_EQ(fs::last_write_time(out.path / "Root/split.bin"),
              fs::last_write_time(out.path / "Root/first.bin"));
}

// More files split over the drive than descriptors are held for: each is still written
// piece by piece as the reading comes to it (one laid aside is opened again for its next
// piece), so the drive is read once, front to back, and every file comes out whole.
TEST(RecoveryWriter, MoreSplitFilesThanHeldDescriptorsAreStillReadInDiskOrder) {
    constexpr std::uint32_t kFiles = 150;
    MemoryDrive drive;
    for (std::uint32_t i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i);
        drive.AddPieces(20 + i, kRootFolderNumber, name.c_str(),
                        {{1000 + i, 1, static_cast<std::uint8_t>(i)},
                         {1200 + i, 1, static_cast<std::uint8_t>(255 - i)}});
    }
    TempDir out;
    NullProgressSink progress;
    CountingNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    const std::size_t before = OpenDescriptors();
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(result.filesWritten, kFiles);
    EXPECT_EQ(notifier.count, 0) << notifier.last;
    std::vector<std::uint64_t> data;
    for (const std::uint64_t sector : drive.traced().reads)
        if (sector >= 1000) data.push_back(sector);
    EXPECT_TRUE(std::is_sorted(data.begin(), data.end()));
    EXPECT_EQ(std::adjacent_find(data.begin(), data.end()), data.end());
    for (std::uint32_t i = 0; i < kFiles; i += 7) {
        EXPECT_EQ(
            FileText(out.path / ("Root/f" + std::to_string(i))),
            std::string(512, static_cast<char>(i)) + std::string(512, static_cast<char>(255 - i)))
            << i;
    }
}

// A stop between the pieces of a file removes the file left open; what was not begun is
// never created, and no descriptor stays open.
TEST(RecoveryWriter, StopBetweenThePiecesOfAFileRemovesIt) {
    MemoryDrive drive;
    drive.AddPieces(20, kRootFolderNumber, "split.bin", {{1300, 4, 'b'}, {1100, 2, 'a'}});
    drive.AddPieces(21, kRootFolderNumber, "middle.bin", {{1200, 3, 'm'}});
    TempDir out;
    StopFlag stop{false};
    StopAfter progress(stop, 2);  // once the piece at 1100 is written
    CountingNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier, &stop);
    const std::size_t before = OpenDescriptors();
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.filesWritten, 0u);
    EXPECT_FALSE(fs::exists(out.path / "Root/split.bin"));
    EXPECT_FALSE(fs::exists(out.path / "Root/middle.bin"));
}

// Folders nested a few thousand deep: one descriptor per level of the path, and no stack
// per level (the recovery runs on a thread with a small stack).
TEST(RecoveryWriter, DeepFolderChainIsRecoveredWithoutRecursion) {
    constexpr std::uint32_t kDepth = 3000;
    DescriptorLimit limit;
    if (!limit.Set(OpenDescriptors() + kDepth + 64)) GTEST_SKIP() << "too few descriptors";
    MemoryDrive drive;
    std::uint32_t parent = kRootFolderNumber;
    for (std::uint32_t level = 0; level < kDepth; ++level) {
        drive.AddFolder(1000 + level, parent, "d");
        parent = 1000 + level;
    }
    drive.AddFile(20, parent, "bottom.bin", 1, 'z');
    TempDir out;
    NullProgressSink progress;
    CountingNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    const std::size_t before = OpenDescriptors();
    RecoveryResult result;
    ASSERT_TRUE(testing::RunOnStackOf(
        512 << 10, [&] { result = writer.Run(out.path.string(), RecoveryMode::kAll, ""); }));
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(result.filesWritten, 1u);
    EXPECT_EQ(notifier.count, 0) << notifier.last;
    EXPECT_EQ(MeasureAndRemoveChain(out.path / "Root", "bottom.bin"),
              std::make_pair(std::size_t{kDepth}, true));
}

// When the descriptors run out partway down, the folder that cannot be opened is
// reported once and the recovery goes on with what it can reach.
TEST(RecoveryWriter, ChainDeeperThanTheDescriptorLimitStopsThereAndSaysSo) {
    MemoryDrive drive;
    std::uint32_t parent = kRootFolderNumber;
    for (std::uint32_t level = 0; level < 200; ++level) {
        drive.AddFolder(1000 + level, parent, "d");
        parent = 1000 + level;
    }
    drive.AddFile(20, parent, "bottom.bin", 1, 'z');
    drive.AddFile(21, kRootFolderNumber, "top.bin", 1, 't');
    TempDir out;
    NullProgressSink progress;
    CountingNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    const std::size_t before = OpenDescriptors();
    RecoveryResult result;
    {
        DescriptorLimit limit;
        ASSERT_TRUE(limit.Set(before + 40));
        result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(result.filesWritten, 1u);  // top.bin
    EXPECT_EQ(result.creationFailures, 1u);
    EXPECT_EQ(notifier.count, 1);
    EXPECT_EQ(notifier.last.rfind("Can Not Create Directory ", 0), 0u);
    const auto [depth, held] = MeasureAndRemoveChain(out.path / "Root", "bottom.bin");
    EXPECT_GT(depth, 30u);
    EXPECT_LT(depth, 45u);
    EXPECT_FALSE(held);
}

// The destination refuses bytes past 4 KiB: the file cut short is removed again and
// failed, not written. A folder in the way of a file's name sends it to the next name.
TEST(RecoveryWriter, FilesThatCannotBeCreatedOrWrittenWholeCountAsFailed) {
    MemoryDrive drive;
    drive.AddFile(20, kRootFolderNumber, "small.bin", 2, 's');
    drive.AddFile(21, kRootFolderNumber, "big.bin", 16, 'b');
    // A folder where the file would go, under a name of the full 255 bytes: the next
    // name is cut before its " (2)" so that it fits.
    const std::string clash(255, 'c');
    drive.AddFile(22, kRootFolderNumber, clash.c_str(), 1, 'c');
    TempDir out;
    fs::create_directories(out.path / "Root" / clash);
    NullProgressSink progress;
    CountingNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    writer.SetMaxRequestBytes(4 * 512);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{4096, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result.filesWritten, 2u);
    EXPECT_EQ(result.filesFailed, 1u);
    EXPECT_EQ(result.creationFailures, 0u);
    EXPECT_EQ(result.bytesWritten, 3u * 512);
    EXPECT_FALSE(fs::exists(out.path / "Root/big.bin"));
    EXPECT_EQ(fs::file_size(out.path / "Root" / (std::string(251, 'c') + " (2)")), 512u);
    EXPECT_EQ(notifier.count, 1);
    EXPECT_NE(notifier.last.find("big.bin whole"), std::string::npos) << notifier.last;
    EXPECT_FALSE(result.destinationFull);
}

// A destination with no room left: the file being written is removed, the recovery
// stops there with one message, and what was written before stays whole.
TEST(RecoveryWriter, FullDestinationStopsWithOneMessage) {
    TempDir out;
    if (::mount("tmpfs", out.path.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    MemoryDrive drive;
    drive.AddFile(20, kRootFolderNumber, "fits.bin", 8, 'f');
    drive.AddFile(21, kRootFolderNumber, "too-big.bin", 200, 'b');
    drive.AddFile(22, kRootFolderNumber, "after.bin", 1, 'a');
    NullProgressSink progress;
    CountingNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    std::error_code ignored;
    const bool bigLeft = fs::exists(out.path / "Root/too-big.bin", ignored);
    const bool afterMade = fs::exists(out.path / "Root/after.bin", ignored);
    const auto fitsSize = fs::file_size(out.path / "Root/fits.bin", ignored);
    ::umount(out.path.c_str());
    EXPECT_TRUE(result.destinationFull);
    EXPECT_EQ(result.filesWritten, 1u);
    EXPECT_EQ(result.filesFailed, 1u);
    EXPECT_EQ(notifier.count, 1);
    EXPECT_EQ(notifier.last.rfind("The destination is full", 0), 0u) << notifier.last;
    EXPECT_FALSE(bigLeft);
    EXPECT_FALSE(afterMade);
    EXPECT_EQ(fitsSize, 8u * 512);
}

// What the destination held before is never written through: a hard link (or a
// symbolic link) planted at a file's name keeps its target unchanged, and the file takes
// the next free name.
TEST(RecoveryWriter, LinksPlantedInTheDestinationAreNeverWrittenThrough) {
    MemoryDrive drive;
    drive.AddFile(20, kRootFolderNumber, "a.txt", 1, 'n');
    drive.AddFile(21, kRootFolderNumber, "b.txt", 1, 'm');
    TempDir out;
    TempDir outside;
    fs::create_directories(out.path / "Root");
    std::ofstream(outside.path / "precious") << "keep";
    fs::create_hard_link(outside.path / "precious", out.path / "Root/a.txt");
    fs::create_symlink(outside.path / "precious", out.path / "Root/b.txt");
    NullProgressSink progress;
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    const RecoveryResult result = writer.Run(out.path.string(), RecoveryMode::kAll, "");
    EXPECT_EQ(result.filesWritten, 2u);
    std::ifstream in(outside.path / "precious");
    std::string kept;
    in >> kept;
    EXPECT_EQ(kept, "keep");
    EXPECT_EQ(fs::file_size(out.path / "Root/a (2).txt"), 512u);
    EXPECT_EQ(fs::file_size(out.path / "Root/b (2).txt"), 512u);
}

// Folders whose parents loop are reached from no folder of the root. The listing shows
// them and their contents as "?/NAME"; a recovery writes them, side by side, into
// DESTINATION/Unplaced, in every mode that wants them.
TEST(RecoveryWriter, EntriesInsideAParentLoopAreWrittenIntoUnplaced) {
    MemoryDrive drive;
    drive.AddFolder(30, 31, "ring-a");
    drive.AddFolder(31, 30, "ring-b");
    drive.AddFile(40, 30, "inside.bin", 2, 'i');
    drive.AddFile(41, kRootFolderNumber, "top.bin", 1, 't');
    NullProgressSink progress;
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    TempDir all;
    EXPECT_EQ(writer.Run(all.path.string(), RecoveryMode::kAll, "").filesWritten, 2u);
    EXPECT_EQ(fs::file_size(all.path / "Unplaced/inside.bin"), 1024u);
    EXPECT_TRUE(fs::is_directory(all.path / "Unplaced/ring-a"));
    EXPECT_TRUE(fs::is_directory(all.path / "Unplaced/ring-b"));

    CheckMarks marks(drive.engine.catalogue().Count());
    marks.Set(2, CheckMark::kChecked);  // inside.bin alone
    writer.SetSelection(&marks);
    TempDir selected;
    EXPECT_EQ(writer.Run(selected.path.string(), RecoveryMode::kSelected, "").filesWritten, 1u);
    EXPECT_EQ(fs::file_size(selected.path / "Unplaced/inside.bin"), 1024u);
    EXPECT_FALSE(fs::exists(selected.path / "Unplaced/ring-a"));
    EXPECT_FALSE(fs::exists(selected.path / "Root/top.bin"));
}

// The catalogue keeps an NTFS name whole even past the 255 bytes a Linux name may take;
// the file is written under a shortened name that keeps its extension.
TEST(RecoveryWriter, ANameLongerThanLinuxTakesIsWrittenShortenedWithItsExtension) {
    MemoryDrive drive;
    std::string name;
    for (int i = 0; i < 200; ++i) name += "\xE4\xB8\xAD";  // 600 bytes
    name += ".bin";
    drive.AddFile(20, kRootFolderNumber, name.c_str(), 1, 'l');
    const Catalogue& catalogue = drive.engine.catalogue();
    EXPECT_EQ(catalogue.At(*catalogue.FirstWithNumber(20)).Name(), name);
    NullProgressSink progress;
    NullNotifier notifier;
    RecoveryWriter writer(drive.engine, progress, notifier);
    TempDir out;
    EXPECT_EQ(writer.Run(out.path.string(), RecoveryMode::kAll, "").filesWritten, 1u);
    std::vector<std::string> written;
    for (const auto& file : fs::directory_iterator(out.path / "Root"))
        written.push_back(file.path().filename().string());
    ASSERT_EQ(written.size(), 1u);
    EXPECT_LE(written[0].size(), 255u);
    EXPECT_EQ(written[0], name.substr(0, 249) + ".bin");
}

// A made-up sysfs: the destination's file system device is partition 1 of a disk, or a
// device mapper device on that partition; the image case is a loop device backed by it.
TEST(DestinationCheck, DevicesFollowedThroughPartitionsSlavesAndLoops) {
    TempDir sys;
    auto write = [&](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    };
    write(sys.path / "block/sdz/dev", "8:0");
    write(sys.path / "block/sdz/sdz1/dev", "8:1");
    write(sys.path / "block/sdz/sdz1/partition", "1");
    write(sys.path / "block/dm-9/dev", "253:9");
    fs::create_directories(sys.path / "block/dm-9/slaves");
    fs::create_directory_symlink("../../sdz/sdz1", sys.path / "block/dm-9/slaves/sdz1");
    fs::create_directories(sys.path / "dev/block");
    fs::create_directory_symlink("../../block/sdz/sdz1", sys.path / "dev/block/8:1");
    fs::create_directory_symlink("../../block/dm-9", sys.path / "dev/block/253:9");
    fs::create_directory_symlink("../../block/sdz", sys.path / "dev/block/8:0");
    const std::string root = sys.path.string();
    const dev_t disk = makedev(8, 0);
    EXPECT_TRUE(DeviceOnDisks(makedev(8, 0), {disk}, root));
    EXPECT_TRUE(DeviceOnDisks(makedev(8, 1), {disk}, root));
    EXPECT_TRUE(DeviceOnDisks(makedev(253, 9), {disk}, root));
    EXPECT_FALSE(DeviceOnDisks(makedev(8, 16), {disk}, root));
    EXPECT_FALSE(DeviceOnDisks(makedev(8, 1), {makedev(8, 16)}, root));

    // The image's loop device, and a destination whose device is that loop device.
    TempDir work;
    const fs::path image = work.path / "disk.img";
    std::ofstream(image) << "image";
    struct stat st {};
    ASSERT_EQ(::stat(work.path.c_str(), &st), 0);
    const std::string loopDev =
        std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    write(sys.path / "block/loop7/dev", loopDev);
    write(sys.path / "block/loop7/loop/backing_file", image.string());
    write(sys.path / "block/loop6/dev", "7:6");
    write(sys.path / "block/loop6/loop/backing_file", (work.path / "other.img").string());
    ASSERT_EQ(LoopDevicesBackedBy(image.string(), root).size(), 1u);
    EXPECT_TRUE(DestinationOnDisk(image.string(), (work.path / "new/out").string(), root));
    TempDir elsewhere;  // another image file, no loop device: accepted
    std::ofstream(elsewhere.path / "b.img") << "b";
    EXPECT_FALSE(DestinationOnDisk((elsewhere.path / "b.img").string(), work.path.string(), root));
}

// A btrfs file system gives its files a device number of no block device: the mount
// table and sysfs lead from the destination to the devices it lives on. The scanned
// disk is a real loop device node; sysfs and the mount table are made up.
TEST(DestinationCheck, BtrfsIsFoundThroughTheMountTableAndItsDevices) {
    struct stat loop {};
    if (::stat("/dev/loop0", &loop) != 0 || !S_ISBLK(loop.st_mode)) GTEST_SKIP() << "no /dev/loop0";
    TempDir sys;
    TempDir mounted;
    auto write = [&](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    };
    const std::string loopDev =
        std::to_string(major(loop.st_rdev)) + ":" + std::to_string(minor(loop.st_rdev));
    write(sys.path / "class/block/loop0/dev", loopDev);
    write(sys.path / "class/block/sdy2/dev", "8:34");
    write(sys.path / "fs/btrfs/1234-uuid/devices/sdy2/dev", "8:34");
    write(sys.path / "fs/btrfs/1234-uuid/devices/loop0/dev", loopDev);
    const fs::path table = sys.path / "mountinfo";
    auto mount = [&](const std::string& type, const std::string& source) {
        write(table,
              "1 0 8:1 / / rw - ext4 /dev/sdx1 rw\n"
              "90 1 0:77 /@home " +
                  mounted.path.string() + " rw,relatime - " + type + " " + source +
                  " rw,subvol=/@home");
    };
    const std::string destination = (mounted.path / "not/made/yet").string();
    mount("btrfs", "/dev/sdy2");  // a second device of the file system is the scanned disk
    EXPECT_TRUE(DestinationOnDisk("/dev/loop0", destination, sys.path.string(), table.string()));
    const auto devices = FileSystemDevices(destination, sys.path.string(), table.string());
    EXPECT_NE(std::find(devices.begin(), devices.end(), makedev(8, 34)), devices.end());
    mount("ext4", "/dev/sdy2");  // one device only, not the scanned disk
    EXPECT_FALSE(DestinationOnDisk("/dev/loop0", destination, sys.path.string(), table.string()));
    mount("xfs", "/dev/loop0");
    EXPECT_TRUE(DestinationOnDisk("/dev/loop0", destination, sys.path.string(), table.string()));
}

// A file system over a file or a folder keeps what is written to it there: ntfs-3g over the
// image itself is the disk, over another file is not, and a store that cannot be followed
// (a remote path given to sshfs, a pool name, a share this machine serves) is uncertain.
TEST(DestinationCheck, FileSystemsOverFilesAreFollowedToTheirStore) {
    TempDir work;
    TempDir sys;
    const fs::path image = work.path / "disk.img";
    std::ofstream(image) << "image";
    std::ofstream(work.path / "other.img") << "other";
    std::string table = "1 0 254:0 / / rw - ext4 /dev/vda rw\n";
    auto mount = [&](const std::string& name, const std::string& type, const std::string& source,
                     const std::string& options = "rw") {
        fs::create_directories(work.path / name);
        table += "50 1 0:50 / " + (work.path / name).string() + " rw - " + type + " " + source +
                 " " + options + "\n";
    };
    mount("fuse", "fuse", image.string());
    fs::create_directories(work.path / "fuse/upper");
    mount("copy", "fuse", (work.path / "other.img").string());
    mount("layered", "overlay", "overlay",
          "rw,lowerdir=/usr,upperdir=" + (work.path / "fuse/upper").string() + ",workdir=/w");
    mount("ssh", "fuse.sshfs", "user@host:/home");
    mount("memory", "tmpfs", "tmpfs");
    mount("nas", "nfs4", "nas.lan:/export");
    mount("loopback", "nfs4", "127.0.0.1:/export");
    mount("pool", "zfs", "tank/data");
    const fs::path mountInfo = work.path / "mountinfo";
    std::ofstream(mountInfo) << table;
    auto standing = [&](const std::string& folder) {
        return JudgeDestination(image.string(), (work.path / folder / "out").string(),
                                sys.path.string(), mountInfo.string())
            .standing;
    };
    EXPECT_EQ(standing("fuse"), DestinationStanding::kOnDisk);
    EXPECT_EQ(standing("layered"), DestinationStanding::kOnDisk);
    EXPECT_EQ(standing("copy"), DestinationStanding::kElsewhere);
    EXPECT_EQ(standing("memory"), DestinationStanding::kElsewhere);
    EXPECT_EQ(standing("nas"), DestinationStanding::kElsewhere);
    EXPECT_EQ(standing("ssh"), DestinationStanding::kUncertain);
    EXPECT_EQ(standing("loopback"), DestinationStanding::kUncertain);
    EXPECT_EQ(standing("pool"), DestinationStanding::kUncertain);
    EXPECT_EQ(standing(""), DestinationStanding::kElsewhere);  // the image's own folder
    const DestinationVerdict ssh = JudgeDestination(image.string(), (work.path / "ssh").string(),
                                                    sys.path.string(), mountInfo.string());
    EXPECT_NE(ssh.why.find("user@host:/home"), std::string::npos) << ssh.why;
}

}  // namespace
}  // namespace tarvik
