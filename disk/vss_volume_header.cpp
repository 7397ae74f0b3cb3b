#include "disk/vss_volume_header.h"

#include <algorithm>

namespace tarvik {

namespace {

constexpr std::size_t kVersionOffset = 16;
constexpr std::size_t kRecordTypeOffset = 20;
constexpr std::size_t kCatalogueOffset = 48;
constexpr std::size_t kMaximumSizeOffset = 56;

}  // namespace

std::optional<VssVolumeHeader> VssVolumeHeader::Parse(ByteView bytes) {
    if (!bytes.has(0, kSize)) return std::nullopt;
    if (!std::equal(std::begin(kIdentifier), std::end(kIdentifier), bytes.data()))
        return std::nullopt;
    if (bytes.u32(kRecordTypeOffset) != kVolumeHeaderType) return std::nullopt;
    VssVolumeHeader header;
    header.version = *bytes.u32(kVersionOffset);
    header.catalogueOffset = *bytes.u64(kCatalogueOffset);
    header.maximumSize = *bytes.u64(kMaximumSizeOffset);
    return header;
}

}  // namespace tarvik
