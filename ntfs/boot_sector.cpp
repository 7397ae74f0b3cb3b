#include "ntfs/boot_sector.h"

#include <cstring>

#include "common/positions.h"
#include "ntfs/file_record.h"

namespace tarvik {

namespace {

constexpr std::uint32_t kUnitBytes = 512;

}  // namespace

std::optional<NtfsBootSector> NtfsBootSector::Parse(ByteView bytes) {
    if (!bytes.has(0, kSize)) return std::nullopt;
    NtfsBootSector boot;
    std::memcpy(boot.oemId_.data(), bytes.data() + kOemOffset, boot.oemId_.size());
    boot.bytesPerSector_ = *bytes.u16(kBytesPerSectorOffset);
    boot.rawSectorsPerCluster_ = *bytes.u8(kSectorsPerClusterOffset);
    boot.totalSectors_ = *bytes.u64(kTotalSectorsOffset);
    boot.mftCluster_ = *bytes.u64(kMftClusterOffset);
    boot.mftMirrorCluster_ = *bytes.u64(kMftMirrorClusterOffset);
    boot.clustersPerRecord_ = static_cast<std::int8_t>(*bytes.u8(kClustersPerRecordOffset));
    boot.serial_ = *bytes.u64(kSerialOffset);
    boot.signature_ = *bytes.u16(kSignatureOffset);
    return boot;
}

bool NtfsBootSector::HasNtfsOemId() const {
    return std::memcmp(oemId_.data(), "NTFS", 4) == 0;
}

std::optional<std::uint32_t> NtfsBootSector::DecodeSectorsPerCluster(std::uint8_t raw) {
    // A cluster is a power of two sectors; any other count is a damaged field.
    if (raw >= 1 && raw <= 0x80 && (raw & (raw - 1)) == 0) return raw;
    if (raw >= 0xF4) return std::uint32_t{1} << (256u - raw);
    return std::nullopt;
}

std::optional<std::uint32_t> NtfsBootSector::SectorsPerCluster() const {
    return DecodeSectorsPerCluster(rawSectorsPerCluster_);
}

std::optional<std::uint32_t> NtfsBootSector::SectorSize() const {
    switch (bytesPerSector_) {
        case 512:
        case 1024:
        case 2048:
        case 4096:
            return bytesPerSector_;
        default:
            return std::nullopt;
    }
}

std::optional<std::uint32_t> NtfsBootSector::UnitsPerCluster() const {
    const auto spc = SectorsPerCluster();
    const auto sectorSize = SectorSize();
    if (!spc || !sectorSize) return std::nullopt;
    return *spc * (*sectorSize / kUnitBytes);  // at most 2^12 x 8
}

std::optional<std::uint32_t> NtfsBootSector::RecordSize() const {
    // A negative count gives the size in bytes, whatever the cluster size.
    return RecordSizeWith(UnitsPerCluster().value_or(0));
}

std::optional<std::uint32_t> NtfsBootSector::RecordSizeWith(std::uint32_t unitsPerCluster) const {
    std::uint64_t bytes = 0;
    if (clustersPerRecord_ > 0) {
        if (unitsPerCluster == 0) return std::nullopt;
        bytes = std::uint64_t{unitsPerCluster} * kUnitBytes *
                static_cast<std::uint64_t>(clustersPerRecord_);
    } else {
        const int shift = -clustersPerRecord_;
        if (shift >= 32) return std::nullopt;
        bytes = std::uint64_t{1} << shift;
    }
    if (bytes < kMinRecordSize || bytes > kMaxRecordSize || (bytes & (bytes - 1)) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(bytes);
}

std::optional<std::uint64_t> NtfsBootSector::VolumeUnits() const {
    const auto sectorSize = SectorSize();
    if (!sectorSize) return std::nullopt;
    return CheckedMul(totalSectors_, *sectorSize / kUnitBytes);
}

bool NtfsBootSector::IsPlausibleVolume() const {
    if (!HasEndSignature() || std::memcmp(oemId_.data(), "NTFS    ", 8) != 0) return false;
    if (!SectorSize()) return false;
    const auto spc = SectorsPerCluster();
    if (!spc || totalSectors_ == 0) return false;
    const std::uint64_t clusters = totalSectors_ / *spc;
    return mftCluster_ < clusters && mftMirrorCluster_ < clusters;
}

}  // namespace tarvik
