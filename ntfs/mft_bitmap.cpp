#include "ntfs/mft_bitmap.h"

#include <algorithm>

#include "common/positions.h"
#include "ntfs/attribute.h"
#include "ntfs/run_bytes.h"
#include "ntfs/run_list.h"

namespace tarvik {

namespace {

constexpr std::uint64_t kSectorBytes = 512;
constexpr std::uint64_t kMftRecord = 0;
constexpr std::uint64_t kRootRecord = 5;

}  // namespace

std::optional<MftBitmap> MftBitmap::Read(ByteView mftRecord, SectorSource& source,
                                         std::uint32_t sectorsPerCluster, std::uint64_t records) {
    const auto attribute = FindAttribute(mftRecord, attribute_type::kBitmap);
    if (!attribute || sectorsPerCluster == 0) return std::nullopt;
    const std::uint64_t wantedBytes = (records + 7) / 8;
    std::vector<std::uint8_t> bits;
    if (attribute->isResident()) {
        const ByteView value = attribute->Value();
        const auto kept =
            static_cast<std::size_t>(std::min<std::uint64_t>(value.size(), wantedBytes));
        bits.assign(value.data(), value.data() + kept);
    } else {
        const std::uint64_t total = std::min(attribute->header().realSize, wantedBytes);
        const std::uint64_t clusterBytes = sectorsPerCluster * kSectorBytes;
        const DecodedRunList decoded = DecodeRuns(attribute->RunList());
        for (const DataRun& run : decoded.runs) {
            if (bits.size() >= total) break;
            const std::uint64_t runBytes =
                CheckedMul(run.lengthClusters, clusterBytes).value_or(UINT64_MAX);
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(runBytes, total - bits.size()));
            if (!AppendRunBytes(source, run, sectorsPerCluster, wanted, bits)) return std::nullopt;
        }
        // A run list cut short would call every record past its end free: in-use files
        // would pass for deleted ones. The records' own headers decide instead.
        if (!decoded.complete && bits.size() < total) return std::nullopt;
    }
    MftBitmap bitmap(std::move(bits));
    // A bitmap that disowns the MFT's own record or the root folder is damaged, not a
    // description of the volume.
    if (!bitmap.InUse(kMftRecord) || !bitmap.InUse(kRootRecord)) return std::nullopt;
    return bitmap;
}

}  // namespace tarvik
