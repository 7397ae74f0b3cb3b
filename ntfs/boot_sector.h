#pragma once
// Reader of the NTFS boot sector (the first sector of a volume, with a backup copy at
// its last sector).
#include <array>
#include <cstdint>
#include <optional>

#include "common/byte_view.h"

namespace tarvik {

class NtfsBootSector {
  public:
    static constexpr std::size_t kSize = 512;
    static constexpr std::size_t kOemOffset = 0x03;
    static constexpr std::size_t kBytesPerSectorOffset = 0x0B;
    static constexpr std::size_t kSectorsPerClusterOffset = 0x0D;
    static constexpr std::size_t kTotalSectorsOffset = 0x28;
    static constexpr std::size_t kMftClusterOffset = 0x30;
    static constexpr std::size_t kMftMirrorClusterOffset = 0x38;
    static constexpr std::size_t kClustersPerRecordOffset = 0x40;
    static constexpr std::size_t kSerialOffset = 0x48;
    static constexpr std::size_t kSignatureOffset = 0x1FE;

    // Nothing when fewer than 512 bytes are given.
    static std::optional<NtfsBootSector> Parse(ByteView bytes);

    bool HasEndSignature() const { return signature_ == 0xAA55; }
    // "NTFS" in the first four bytes of the OEM identifier.
    bool HasNtfsOemId() const;
    // The quick test a volume start must pass: 0x55 0xAA at its end and 'N' at byte 3.
    bool PassesQuickTest() const { return HasEndSignature() && oemId_[0] == 'N'; }

    // Sectors per cluster: a power of two from 1 to 0x80, or 2^(256 - raw) for raw values
    // 0xF4-0xFF (clusters of 128 KiB to 2 MiB). Nothing for any other raw value.
    std::optional<std::uint32_t> SectorsPerCluster() const;
    static std::optional<std::uint32_t> DecodeSectorsPerCluster(std::uint8_t raw);

    // The volume's sector size: 512, 1024, 2048 or 4096 bytes; nothing for any other.
    std::optional<std::uint32_t> SectorSize() const;
    // Sectors per cluster counted in 512-byte units, the unit every sector position of
    // this program is in: sectors per cluster x sector size / 512.
    std::optional<std::uint32_t> UnitsPerCluster() const;
    // The MFT record size from the clusters-per-record byte: a cluster count when
    // positive, 2^-n bytes when negative. Nothing unless it is a power of two from
    // kMinRecordSize to kMaxRecordSize.
    std::optional<std::uint32_t> RecordSize() const;
    // The same for a cluster of `unitsPerCluster` 512-byte units instead of the boot
    // sector's own (a positive clusters-per-record byte counts clusters).
    std::optional<std::uint32_t> RecordSizeWith(std::uint32_t unitsPerCluster) const;
    // The volume's size in 512-byte units (its own sectors x sector size / 512); nothing
    // when the sector size is not a usable one or the product overflows.
    std::optional<std::uint64_t> VolumeUnits() const;

    // Every field a real NTFS volume start carries: the full OEM id, a usable sector
    // size, a valid cluster size, a non-zero size and an MFT inside the volume.
    bool IsPlausibleVolume() const;

    std::uint8_t rawSectorsPerCluster() const { return rawSectorsPerCluster_; }
    std::uint16_t bytesPerSector() const { return bytesPerSector_; }
    std::uint64_t totalSectors() const { return totalSectors_; }
    std::uint64_t mftCluster() const { return mftCluster_; }
    std::uint64_t mftMirrorCluster() const { return mftMirrorCluster_; }
    std::int8_t clustersPerRecord() const { return clustersPerRecord_; }
    std::uint64_t serial() const { return serial_; }

  private:
    std::array<std::uint8_t, 8> oemId_{};
    std::uint16_t bytesPerSector_ = 0;
    std::uint8_t rawSectorsPerCluster_ = 0;
    std::uint64_t totalSectors_ = 0;
    std::uint64_t mftCluster_ = 0;
    std::uint64_t mftMirrorCluster_ = 0;
    std::int8_t clustersPerRecord_ = 0;
    std::uint64_t serial_ = 0;
    std::uint16_t signature_ = 0;
};

}  // namespace tarvik
