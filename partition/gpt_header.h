#pragma once
// Reader of a GUID partition table header: the "EFI PART" sector at LBA 1 (the primary)
// or at the disk's last LBA (the backup). Fields and offsets are those of the UEFI
// layout; every value is little-endian.
#include <cstdint>
#include <optional>

#include "common/byte_view.h"

namespace tarvik {

class GptHeader {
  public:
    static constexpr std::size_t kSignatureOffset = 0x00;  // "EFI PART"
    static constexpr std::size_t kHeaderSizeOffset = 0x0C;
    static constexpr std::size_t kHeaderCrcOffset = 0x10;
    static constexpr std::size_t kMyLbaOffset = 0x18;
    static constexpr std::size_t kAlternateLbaOffset = 0x20;
    static constexpr std::size_t kFirstUsableOffset = 0x28;
    static constexpr std::size_t kLastUsableOffset = 0x30;
    static constexpr std::size_t kEntryArrayLbaOffset = 0x48;
    static constexpr std::size_t kEntryCountOffset = 0x50;
    static constexpr std::size_t kEntrySizeOffset = 0x54;
    static constexpr std::size_t kEntryArrayCrcOffset = 0x58;
    // The fields above end here; a header may be longer (the rest of its sector is
    // reserved), never shorter.
    static constexpr std::uint32_t kMinHeaderSize = 92;
    static constexpr std::uint32_t kMinEntrySize = 128;
    // No partitioning tool writes more than a few hundred entries; a count or size
    // beyond these bounds is damage, and reading it would cost megabytes.
    static constexpr std::uint32_t kMaxEntryCount = 16384;
    static constexpr std::uint32_t kMaxEntrySize = 4096;

    // Nothing when the signature, the header size, its CRC-32 (computed with the CRC
    // field as zero) or the entry size do not check out. The sector is the whole
    // logical sector the header was read from.
    static std::optional<GptHeader> Parse(ByteView sector);

    std::uint64_t myLba() const { return myLba_; }
    std::uint64_t alternateLba() const { return alternateLba_; }
    std::uint64_t firstUsableLba() const { return firstUsable_; }
    std::uint64_t lastUsableLba() const { return lastUsable_; }
    std::uint64_t entryArrayLba() const { return entryArrayLba_; }
    std::uint32_t entryCount() const { return entryCount_; }
    std::uint32_t entrySize() const { return entrySize_; }
    std::uint32_t entryArrayCrc() const { return entryArrayCrc_; }
    // The bytes of the entry array (count x size; no overflow by the bounds above).
    std::uint64_t entryArrayBytes() const {
        return static_cast<std::uint64_t>(entryCount_) * entrySize_;
    }

  private:
    std::uint64_t myLba_ = 0;
    std::uint64_t alternateLba_ = 0;
    std::uint64_t firstUsable_ = 0;
    std::uint64_t lastUsable_ = 0;
    std::uint64_t entryArrayLba_ = 0;
    std::uint32_t entryCount_ = 0;
    std::uint32_t entrySize_ = 0;
    std::uint32_t entryArrayCrc_ = 0;
};

}  // namespace tarvik
