#include "partition/gpt_header.h"

#include <cstring>
#include <vector>

#include "partition/crc32.h"

namespace tarvik {

std::optional<GptHeader> GptHeader::Parse(ByteView sector) {
    static constexpr char kSignature[] = "EFI PART";
    if (!sector.has(0, kMinHeaderSize)) return std::nullopt;
    if (std::memcmp(sector.data() + kSignatureOffset, kSignature, 8) != 0) return std::nullopt;
    const std::uint32_t headerSize = *sector.u32(kHeaderSizeOffset);
    if (headerSize < kMinHeaderSize || !sector.has(0, headerSize)) return std::nullopt;

    std::vector<std::uint8_t> copy(sector.data(), sector.data() + headerSize);
    std::memset(copy.data() + kHeaderCrcOffset, 0, 4);
    if (Crc32(copy) != *sector.u32(kHeaderCrcOffset)) return std::nullopt;

    GptHeader header;
    header.myLba_ = *sector.u64(kMyLbaOffset);
    header.alternateLba_ = *sector.u64(kAlternateLbaOffset);
    header.firstUsable_ = *sector.u64(kFirstUsableOffset);
    header.lastUsable_ = *sector.u64(kLastUsableOffset);
    header.entryArrayLba_ = *sector.u64(kEntryArrayLbaOffset);
    header.entryCount_ = *sector.u32(kEntryCountOffset);
    header.entrySize_ = *sector.u32(kEntrySizeOffset);
    header.entryArrayCrc_ = *sector.u32(kEntryArrayCrcOffset);
    // Entries are 128 x 2^n bytes; anything else cannot be stepped through.
    if (header.entrySize_ < kMinEntrySize || header.entrySize_ > kMaxEntrySize ||
        header.entrySize_ % 8 != 0 || header.entryCount_ > kMaxEntryCount)
        return std::nullopt;
    return header;
}

}  // namespace tarvik
