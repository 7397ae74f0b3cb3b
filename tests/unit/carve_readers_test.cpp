// The carving readers on files made by the real programs at test time (ImageMagick, zip,
// python's sqlite3 and wave modules) and on hand-built PDFs, whole, followed by other
// bytes, and damaged; and the carving pass over bytes that hold no file at all.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "carve/carve_pass.h"
#include "carve/format_readers.h"
#include "disk/memory_sector_source.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

class MadeFiles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = fs::temp_directory_path() / ("tarvik-carve-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        const std::string f = folder_.string();
        const std::string convert = fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
        const std::string script =
            "cd '" + f + "' && " + convert + " -seed 7 -size 300x200 plasma:fractal a.jpg && " +
            convert + " -seed 8 -size 120x90 plasma:fractal a.png && " + convert +
            " -seed 9 -size 160x100 plasma:fractal -colors 64 a.gif && " + convert +
            " -seed 10 -size 97x31 plasma:fractal a.bmp && head -c 300000 /dev/urandom | "
            "base64 > t.txt && seq 1 20000 > s.txt && zip -q a.zip t.txt s.txt && python3 -c \""
            "import sqlite3, wave, random\n"
            "d = sqlite3.connect('a.sqlite'); d.execute('create table t(a, b)')\n"
            "d.executemany('insert into t values (?, ?)', [(i, str(i) * 9) for i in range(5000)])\n"
            "d.commit(); d.close()\n"
            "w = wave.open('a.wav', 'wb'); w.setnchannels(1); w.setsampwidth(2)\n"
            "w.setframerate(8000); w.writeframes(random.randbytes(30001 * 2)); w.close()\n"
            "\" 2>&1";
        made_ = std::system(script.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    void SetUp() override {
        if (!made_) {
            if (std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true")
                FAIL() << "ImageMagick, zip or python3 is missing (tools/setup.sh installs them)";
            GTEST_SKIP() << "ImageMagick, zip or python3 is missing";
        }
    }
    static Bytes Read(const std::string& name) {
        std::ifstream in(folder_ / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    static inline fs::path folder_;
    static inline bool made_ = false;
};

std::optional<CarveMatch> Carve(const Bytes& bytes) {
    const ByteView view(bytes.data(), bytes.size());
    const auto type = SignatureType(view);
    if (!type) return std::nullopt;
    return ReadCarved(*type, CarveInput{view, bytes.size(), 4096});
}

// The file, then what a volume holds after it: zeros to the cluster's end and another
// file's bytes.
Bytes InVolume(Bytes file, std::uint8_t fill = 0x5A) {
    file.resize((file.size() + 4095) / 4096 * 4096, 0);
    file.insert(file.end(), 8192, fill);
    return file;
}

Bytes Pdf(bool updated) {
    std::string text =
        "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\nxref\n0 2\n"
        "trailer\n<< /Size 2 /Root 1 0 R >>\nstartxref\n45\n%%EOF\n";
    if (updated) text += "2 0 obj\n<< >>\nendobj\nxref\ntrailer\n<< >>\nstartxref\n120\n%%EOF\n";
    return Bytes(text.begin(), text.end());
}

TEST_F(MadeFiles, EveryReaderFindsTheEndOfAWholeFile) {
    const std::vector<std::pair<std::string, std::string_view>> files = {
        {"a.jpg", "jpg"}, {"a.png", "png"}, {"a.gif", "gif"},      {"a.bmp", "bmp"},
        {"a.zip", "zip"}, {"a.wav", "wav"}, {"a.sqlite", "sqlite"}};
    for (const auto& [name, extension] : files) {
        const Bytes file = Read(name);
        ASSERT_FALSE(file.empty()) << name;
        const auto match = Carve(InVolume(file));
        ASSERT_TRUE(match) << name;
        EXPECT_EQ(match->length, file.size()) << name;
        EXPECT_FALSE(match->partial) << name;
        const auto type = SignatureType(ByteView(file.data(), file.size()));
        EXPECT_EQ(match->extension.empty() ? CarvedExtension(*type) : match->extension, extension)
            << name;
    }
    for (bool updated : {false, true}) {
        const Bytes pdf = Pdf(updated);
        const auto match = Carve(InVolume(pdf, 0));
        ASSERT_TRUE(match);
        EXPECT_EQ(match->length, pdf.size()) << "the last %%EOF is the end";
        EXPECT_FALSE(match->partial);
    }
}

TEST_F(MadeFiles, AFileWhoseStructureBreaksIsCutWhereItBreaks) {
    // The second half of each file replaced by another file's bytes, as when its later
    // clusters were given away: cut no later than the break, and called partial.
    std::mt19937 random(3);
    for (const char* name : {"a.jpg", "a.png", "a.gif", "a.zip"}) {
        Bytes file = Read(name);
        const std::size_t half = file.size() / 2;
        for (std::size_t i = half; i < file.size(); ++i)
            file[i] = static_cast<std::uint8_t>(random());
        const auto match = Carve(InVolume(file));
        if (!match) continue;  // too little left to tell the format: nothing carved
        EXPECT_TRUE(match->partial) << name;
        // A GIF's data sub-blocks are lengths and bytes of any value: random bytes go on
        // as such blocks until a block type fails, so its cut may lie past the break.
        if (std::string_view(name) != "a.gif") {
            EXPECT_LE(match->length, file.size()) << name;
        }
    }
    // A PNG chunk whose CRC fails ends the file at that chunk, not at IEND.
    Bytes png = Read("a.png");
    png[png.size() - 20] ^= 0x40;
    const auto cut = Carve(InVolume(png));
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->partial);
    EXPECT_LT(cut->length, png.size() - 12);
    // A ZIP whose deflated data changed fails its CRC.
    Bytes zip = Read("a.zip");
    zip[200] ^= 0x01;
    const auto zipCut = Carve(InVolume(zip));
    EXPECT_TRUE(!zipCut || zipCut->partial);
    // A WAV or SQLite file stating more bytes than the free space holds is cut there.
    const Bytes wav = Read("a.wav");
    const ByteView view(wav.data(), wav.size());
    const auto short_ = ReadRiff(CarveInput{view, wav.size() / 2, 4096});
    ASSERT_TRUE(short_);
    EXPECT_TRUE(short_->partial);
    EXPECT_EQ(short_->length, wav.size() / 2);
}

TEST(CarveReaders, HeadersAloneAreNotFiles) {
    // Signatures followed by bytes that do not go on as the format does.
    Bytes bytes(4096, 0x41);
    const std::vector<std::string> heads = {"\xFF\xD8\xFF\xE0"s,
                                            "\x89PNG\r\n\x1A\n"s,
                                            "GIF89a"s,
                                            "BMxxxx"s,
                                            "%PDF-1.4"s,
                                            "PK\x03\x04"s,
                                            "RIFFxxxxWAVE"s,
                                            "\0\0\0\x18"
                                            "ftyp"s,
                                            "SQLite format 3\0"s};
    for (const std::string& head : heads) {
        std::copy(head.begin(), head.end(), bytes.begin());
        EXPECT_FALSE(Carve(bytes)) << head;
    }
}

// A source that counts what is read from it.
class CountingSource final : public SectorSource {
  public:
    explicit CountingSource(Bytes bytes) : memory_(std::move(bytes)) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        bytesRead += buffer.size();
        return memory_.Read(sector, buffer);
    }
    std::uint64_t bytesRead = 0;

  private:
    MemorySectorSource memory_;
};

TEST(CarvePass, RandomBytesCarveNothingFalseAndAreReadAboutOnce) {
    // 48 MiB of random bytes, with a signature at the start of every 16th cluster so
    // every reader is put to work on garbage.
    constexpr std::size_t kClusters = 12288;
    Bytes bytes(kClusters * 4096);
    std::mt19937_64 random(11);
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
        const std::uint64_t value = random();
        std::memcpy(bytes.data() + i, &value, 8);
    }
    const std::vector<std::string> heads = {
        "\xFF\xD8\xFF\xDB", "\x89PNG\r\n\x1A\n", "GIF89a", "BM",
        "%PDF-1.5",         "PK\x03\x04",        "RIFF",   "SQLite format 3\0"s};
    for (std::size_t c = 0; c < kClusters; c += 16) {
        const std::string& head = heads[(c / 16) % heads.size()];
        std::copy(head.begin(), head.end(), bytes.begin() + static_cast<std::ptrdiff_t>(c * 4096));
    }
    CountingSource source(bytes);
    NullProgressSink progress;
    CarveOptions options;
    options.windowBytes = 4u << 20;
    const std::vector<ClusterExtent> extents = {{0, kClusters}};
    const CarveOutcome outcome = CarveClusters(source, extents, 8, progress, nullptr, options);
    for (const CarvedFile& file : outcome.files) {
        // Anything carved must read back as the same file from its own bytes alone.
        const ByteView own(bytes.data() + file.firstCluster * 4096, file.length);
        const auto again = ReadCarved(file.type, CarveInput{own, file.length, 4096});
        EXPECT_TRUE(again && again->length == file.length && !again->partial)
            << "cluster " << file.firstCluster;
    }
    EXPECT_TRUE(outcome.files.empty());
    EXPECT_LE(source.bytesRead, 2 * bytes.size()) << "the window is read once per extent";
}

TEST(CarvePass, FilesAreFoundAtClusterStartsAndSkipped) {
    Bytes volume(64 * 4096, 0);
    const Bytes pdf = Pdf(false);
    std::copy(pdf.begin(), pdf.end(), volume.begin() + 3 * 4096);
    std::copy(pdf.begin(), pdf.end(), volume.begin() + 10 * 4096 + 512);  // not at a boundary
    MemorySectorSource source(volume);
    NullProgressSink progress;
    const std::vector<ClusterExtent> extents = {{0, 8}, {9, 40}};
    const CarveOutcome outcome = CarveClusters(source, extents, 8, progress, nullptr);
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_EQ(outcome.files[0].firstCluster, 3u);
    EXPECT_EQ(outcome.files[0].length, pdf.size());
    EXPECT_EQ(outcome.files[0].extension, "pdf");
}

TEST(CarvePass, AStatedLengthRunningIntoAnotherFileIsCutThere) {
    // A WAV header stating eight clusters, whose fifth cluster now begins a PDF.
    Bytes volume(32 * 4096, 0);
    const std::string wav = "RIFF"s + std::string("\xF4\x7C\x00\x00", 4) + "WAVEfmt "s +
                            std::string(
                                "\x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x80\x3E\0\0"
                                "\x02\0\x10\0",
                                20) +
                            "data"s + std::string("\xD0\x7C\x00\x00", 4);
    std::copy(wav.begin(), wav.end(), volume.begin() + 4096);
    const Bytes pdf = Pdf(false);
    std::copy(pdf.begin(), pdf.end(), volume.begin() + 5 * 4096);
    MemorySectorSource source(volume);
    NullProgressSink progress;
    const std::vector<ClusterExtent> extents = {{0, 32}};
    const CarveOutcome outcome = CarveClusters(source, extents, 8, progress, nullptr);
    ASSERT_EQ(outcome.files.size(), 2u);
    EXPECT_EQ(outcome.files[0].extension, "wav");
    EXPECT_TRUE(outcome.files[0].partial);
    EXPECT_EQ(outcome.files[0].length, 4u * 4096);
    EXPECT_EQ(outcome.files[1].firstCluster, 5u);
    EXPECT_EQ(outcome.files[1].length, pdf.size());
}

}  // namespace
}  // namespace tarvik
