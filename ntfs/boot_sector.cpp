#include "ntfs/boot_sector.h"

#include <cstring>

namespace tarvik {

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
    if (raw >= 1 && raw <= 0x80) return raw;
    if (raw >= 0xF4) return std::uint32_t{1} << (256u - raw);
    return std::nullopt;
}

std::optional<std::uint32_t> NtfsBootSector::SectorsPerCluster() const {
    return DecodeSectorsPerCluster(rawSectorsPerCluster_);
}

bool NtfsBootSector::IsPlausibleVolume() const {
    if (!HasEndSignature() || std::memcmp(oemId_.data(), "NTFS    ", 8) != 0) return false;
    if (bytesPerSector_ != 512) return false;
    const auto spc = SectorsPerCluster();
    if (!spc || totalSectors_ == 0) return false;
    const std::uint64_t clusters = totalSectors_ / *spc;
    return mftCluster_ < clusters && mftMirrorCluster_ < clusters;
}

}  // namespace tarvik
