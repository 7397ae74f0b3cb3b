// The readers on records that Windows XP wrote (DFTT image #7, a bare volume with 1 KiB
// clusters); expected values from The Sleuth Kit's istat and fls.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <unistd.h>

#include "ntfs/attribute.h"
#include "ntfs/boot_sector.h"
#include "ntfs/fixup.h"
#include "ntfs/index_allocation_reader.h"
#include "ntfs/index_entry.h"
#include "ntfs/index_root.h"
#include "ntfs/record_summary.h"
#include "ntfs/run_list.h"
#include "ntfs_builders.h"
#include "shared_images.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

class Dftt7 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const fs::path packed = fs::path(TARVIK_SHARED_DIR) / "testdata/dftt-7-undel-ntfs.dd.xz";
        if (!fs::exists(packed)) return;
        const fs::path dir =
            fs::temp_directory_path() / ("tarvik-records-" + std::to_string(getpid()));
        fs::create_directories(dir);
        const fs::path image = dir / "dftt7.dd";
        const std::string command = "xz -dc '" + packed.string() + "' > '" + image.string() + "'";
        if (std::system(command.c_str()) != 0) return;
        std::ifstream in(image, std::ios::binary);
        image_ = new Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fs::remove_all(dir);
    }
    static void TearDownTestSuite() {
        delete image_;
        image_ = nullptr;
    }
    void SetUp() override {
        if (!image_) TARVIK_SKIP_WITHOUT_SHARED_DATA("dftt-7-undel-ntfs.dd.xz");
        source_.bytes = *image_;
        const auto boot = NtfsBootSector::Parse(ByteView(*image_));
        ASSERT_TRUE(boot);
        spc_ = *boot->SectorsPerCluster();
        mftSector_ = boot->mftCluster() * spc_;
    }
    Bytes Record(std::uint64_t sector) const {
        return Bytes(image_->begin() + static_cast<std::ptrdiff_t>(sector * 512),
                     image_->begin() + static_cast<std::ptrdiff_t>(sector * 512 + 1024));
    }

    static inline Bytes* image_ = nullptr;
    testing::MemorySource source_{0};
    std::uint32_t spc_ = 0;
    std::uint64_t mftSector_ = 0;
};

TEST_F(Dftt7, MftRecordGivesItsNameAndBothRuns) {
    Bytes record = Record(mftSector_);
    ASSERT_TRUE(PrepareFileRecord(record));
    const auto summary = SummarizeRecord(ByteView(record));
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->name(), "$MFT");
    EXPECT_EQ(summary->parentRecord, 5u);
    EXPECT_EQ(summary->realSize, 39936u);
    EXPECT_EQ(summary->header.recordNumber, 0u);
    EXPECT_EQ(summary->header.usaOffset, 0x30u);

    const auto data = FindAttribute(ByteView(record), attribute_type::kData);
    ASSERT_TRUE(data);
    const DecodedRunList decoded = DecodeRuns(data->RunList());
    EXPECT_TRUE(decoded.complete);
    ASSERT_EQ(decoded.runs.size(), 2u);
    EXPECT_EQ(decoded.runs[0].lengthClusters + decoded.runs[1].lengthClusters, 16u + 32);
    EXPECT_EQ(PlaceRun(decoded.runs[0], spc_)->start.value(), 2005u * 2);
    EXPECT_EQ(PlaceRun(decoded.runs[1], spc_)->start.value(), 4247u * 2);
}

TEST_F(Dftt7, RootFolderIndexListsTheSystemFiles) {
    Bytes record = Record(mftSector_ + 5 * 2);
    ASSERT_TRUE(PrepareFileRecord(record));
    const auto root = FindAttribute(ByteView(record), attribute_type::kIndexRoot, "$I30");
    ASSERT_TRUE(root && root->isResident());
    const auto index = IndexRoot::Parse(root->Value());
    ASSERT_TRUE(index && index->BlockSectors());
    // The root holds only its closing entry; the names are in the allocation's blocks.
    const auto firstFlags = index->Entries(root->Value()).u16(IndexEntry::kFlagsOffset);
    EXPECT_TRUE(firstFlags && (*firstFlags & IndexEntry::kFlagLast) != 0);
    const auto allocation =
        FindAttribute(ByteView(record), attribute_type::kIndexAllocation, "$I30");
    ASSERT_TRUE(allocation && !allocation->isResident());
    const auto runs = DecodeRuns(allocation->RunList()).runs;
    std::set<std::string> names;
    const auto result =
        ReadIndexAllocation(runs, spc_, *index->BlockSectors(), source_,
                            [&](const IndexEntry& e) { names.insert(e.fileName->name); });
    EXPECT_EQ(result.blocksAccepted, 1u);
    const std::set<std::string> expected = {"$AttrDef",
                                            "$BadClus",
                                            "$Bitmap",
                                            "$Boot",
                                            "$Extend",
                                            "$LogFile",
                                            "$MFT",
                                            "$MFTMirr",
                                            "$Secure",
                                            "$UpCase",
                                            "$Volume",
                                            ".",
                                            "System Volume Information"};
    EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace tarvik
