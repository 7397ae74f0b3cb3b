#pragma once
// Positions on a disk, each its own 64-bit type so that a cluster cannot be passed where
// a sector is expected, nor a sector relative to a drive where one of the whole disk is.
// Arithmetic on values read from disk goes through the checked helpers: an overflow is
// an empty result, never a wrapped position.
#include <compare>
#include <cstdint>
#include <limits>
#include <optional>

namespace tarvik {

// Checked arithmetic on 64-bit unsigned values.
inline std::optional<std::uint64_t> CheckedAdd(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return std::nullopt;
    return sum;
}

inline std::optional<std::uint64_t> CheckedMul(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
    return product;
}

// A 64-bit number that means one kind of position. Tag only tells the kinds apart.
template <class Tag>
class Position {
  public:
    constexpr Position() = default;
    constexpr explicit Position(std::uint64_t value) : value_(value) {}

    constexpr std::uint64_t value() const { return value_; }

    constexpr auto operator<=>(const Position&) const = default;

    // The position `count` further on; empty on overflow.
    std::optional<Position> Plus(std::uint64_t count) const {
        const auto sum = CheckedAdd(value_, count);
        if (!sum) return std::nullopt;
        return Position(*sum);
    }

    // How far this position lies past `origin`; empty when it lies before it.
    std::optional<std::uint64_t> Since(Position origin) const {
        if (value_ < origin.value_) return std::nullopt;
        return value_ - origin.value_;
    }

  private:
    std::uint64_t value_ = 0;
};

struct DiskSectorTag;
struct DriveSectorTag;
struct ClusterTag;
struct RecordNumberTag;
struct ByteOffsetTag;

// A sector of the whole disk, counted from the disk's first sector.
using DiskSector = Position<DiskSectorTag>;
// A sector of a logical drive, counted from the drive's first sector.
using DriveSector = Position<DriveSectorTag>;
// A logical cluster number of an NTFS volume.
using Cluster = Position<ClusterTag>;
// The number of an MFT record.
using RecordNumber = Position<RecordNumberTag>;
// A byte position inside a disk, a drive or a file (the name of the variable says which).
using ByteOffset = Position<ByteOffsetTag>;

// The drive sector where a cluster begins; empty on overflow.
inline std::optional<DriveSector> ClusterStart(Cluster cluster, std::uint32_t sectorsPerCluster) {
    const auto sector = CheckedMul(cluster.value(), sectorsPerCluster);
    if (!sector) return std::nullopt;
    return DriveSector(*sector);
}

// The disk sector of a drive sector, for a drive that begins at `driveStart`.
inline std::optional<DiskSector> OnDisk(DriveSector sector, DiskSector driveStart) {
    const auto disk = CheckedAdd(driveStart.value(), sector.value());
    if (!disk) return std::nullopt;
    return DiskSector(*disk);
}

// The drive sector of a disk sector; empty when it lies before the drive.
inline std::optional<DriveSector> OnDrive(DiskSector sector, DiskSector driveStart) {
    const auto offset = sector.Since(driveStart);
    if (!offset) return std::nullopt;
    return DriveSector(*offset);
}

// The byte offset of a sector of any kind, for a sector size in bytes; empty on overflow.
template <class Tag>
std::optional<ByteOffset> ByteOffsetOf(Position<Tag> sector, std::uint32_t sectorSize) {
    const auto bytes = CheckedMul(sector.value(), sectorSize);
    if (!bytes) return std::nullopt;
    return ByteOffset(*bytes);
}

}  // namespace tarvik
