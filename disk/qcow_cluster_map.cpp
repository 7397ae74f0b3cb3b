#include "disk/qcow_cluster_map.h"

#include <unistd.h>

#include <algorithm>

#include "common/positions.h"

namespace tarvik {

namespace {

constexpr std::size_t kVersionOffset = 4;
constexpr std::size_t kClusterBitsOffset = 20;
constexpr std::size_t kDiskSizeOffset = 24;
constexpr std::size_t kL1EntriesOffset = 36;
constexpr std::size_t kL1OffsetOffset = 40;
constexpr std::size_t kIncompatibleFeaturesOffset = 72;
constexpr std::uint64_t kExternalDataFile = 1u << 2;
constexpr std::uint64_t kExtendedL2 = 1u << 4;

constexpr std::uint32_t kMinClusterBits = 9;
constexpr std::uint32_t kMaxClusterBits = 21;
// The first-level table of a disk of 2^63 bytes in clusters of 512 bytes would be
// 2^51 entries; tools write at most 32 MiB of it.
constexpr std::uint32_t kMaxL1Entries = (32u << 20) / 8;

// Bits 9 to 55 of a table entry: the offset of a table or a cluster in the file.
constexpr std::uint64_t kOffsetMask = 0x00FFFFFFFFFFFE00ull;
constexpr std::uint64_t kCompressedFlag = 1ull << 62;
constexpr std::uint64_t kSectorBytes = 512;

std::optional<std::uint64_t> LoadBe(ByteView bytes, std::size_t offset, std::size_t width) {
    if (!bytes.has(offset, width)) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes.data()[offset + i];
    return value;
}

std::vector<std::uint8_t> ReadFile(int fd, std::uint64_t offset, std::uint64_t length) {
    std::vector<std::uint8_t> bytes(length);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace

std::optional<QcowHeader> QcowHeader::Parse(ByteView bytes) {
    const auto version = LoadBe(bytes, kVersionOffset, 4);
    const auto bits = LoadBe(bytes, kClusterBitsOffset, 4);
    const auto size = LoadBe(bytes, kDiskSizeOffset, 8);
    const auto l1Entries = LoadBe(bytes, kL1EntriesOffset, 4);
    const auto l1Offset = LoadBe(bytes, kL1OffsetOffset, 8);
    if (!version || !bits || !size || !l1Entries || !l1Offset) return std::nullopt;
    if (*version != 2 && *version != 3) return std::nullopt;
    if (*bits < kMinClusterBits || *bits > kMaxClusterBits) return std::nullopt;
    QcowHeader header;
    header.clusterBits = static_cast<std::uint32_t>(*bits);
    header.diskSize = *size;
    header.l1Entries = static_cast<std::uint32_t>(*l1Entries);
    header.l1Offset = *l1Offset;
    if (*version == 3) {
        const auto features = LoadBe(bytes, kIncompatibleFeaturesOffset, 8);
        if (!features || (*features & kExternalDataFile) != 0) return std::nullopt;
        if ((*features & kExtendedL2) != 0) header.l2EntryBytes = 16;
    }
    return header;
}

std::optional<QcowClusterMap> QcowClusterMap::Open(int fd, std::uint64_t fileSize) {
    const std::vector<std::uint8_t> head = ReadFile(fd, 0, QcowHeader::kSize);
    const auto header = QcowHeader::Parse(ByteView(head.data(), head.size()));
    if (!header || header->l1Entries > kMaxL1Entries) return std::nullopt;
    const std::uint64_t l1Bytes = std::uint64_t{header->l1Entries} * 8;
    const std::vector<std::uint8_t> table = ReadFile(fd, header->l1Offset, l1Bytes);
    QcowClusterMap map(fd, fileSize, *header);
    map.l1Whole_ = table.size() == l1Bytes;
    if (!map.l1Whole_) return map;
    const ByteView view(table.data(), table.size());
    map.l1_.reserve(header->l1Entries);
    for (std::size_t i = 0; i < l1Bytes; i += 8) map.l1_.push_back(*LoadBe(view, i, 8));
    return map;
}

bool QcowClusterMap::Holds(std::uint64_t entry) const {
    const std::uint32_t bits = header_.clusterBits;
    if ((entry & kCompressedFlag) == 0) {
        const std::uint64_t offset = entry & kOffsetMask;
        if (offset == 0) return true;  // unallocated: zeros
        return offset <= fileSize_ && header_.clusterSize() <= fileSize_ - offset;
    }
    // A compressed cluster: its offset in the low bits, then the count of 512-byte
    // sectors its data takes after the one the offset lies in.
    const std::uint32_t offsetBits = 62 - (bits - 8);
    const std::uint64_t offset = entry & ((std::uint64_t{1} << offsetBits) - 1);
    const std::uint64_t moreSectors = (entry & ~kCompressedFlag & ~(1ull << 63)) >> offsetBits;
    const auto end = CheckedAdd(offset / kSectorBytes, moreSectors + 1);
    // The file's last sector may stop short of 512 bytes.
    const std::uint64_t fileSectors = (fileSize_ + kSectorBytes - 1) / kSectorBytes;
    return end && *end <= fileSectors;
}

std::uint64_t QcowClusterMap::FirstMissingByte(std::uint64_t from, std::uint64_t to) const {
    if (!l1Whole_) return from;
    const std::uint32_t bits = header_.clusterBits;
    const std::uint64_t clusterSize = header_.clusterSize();
    const std::uint64_t perTable = clusterSize / header_.l2EntryBytes;
    std::uint64_t cluster = from >> bits;
    const std::uint64_t lastCluster = to == 0 ? 0 : (to - 1) >> bits;
    while (from < to && cluster <= lastCluster) {
        const std::uint64_t l1Index = cluster / perTable;
        // Past the first-level table the disk reads as zeros.
        if (l1Index >= l1_.size()) return to;
        const std::uint64_t tableOffset = l1_[l1Index] & kOffsetMask;
        const std::uint64_t inTable = cluster % perTable;
        const std::uint64_t count = std::min(lastCluster - cluster + 1, perTable - inTable);
        if (tableOffset != 0) {
            if (tableOffset > fileSize_ || clusterSize > fileSize_ - tableOffset)
                return std::max(from, cluster << bits);
            const std::vector<std::uint8_t> entries = ReadFile(
                fd_, tableOffset + inTable * header_.l2EntryBytes, count * header_.l2EntryBytes);
            const ByteView view(entries.data(), entries.size());
            for (std::uint64_t i = 0; i < count; ++i) {
                const auto entry = LoadBe(view, i * header_.l2EntryBytes, 8);
                if (!entry || !Holds(*entry)) return std::max(from, (cluster + i) << bits);
            }
        }
        cluster += count;
    }
    return to;
}

}  // namespace tarvik
