// BMP: the file header states the file's size and where the pixels begin; the
// information header that follows has one of the sizes Windows defines, one plane and a
// known bit count, and its pixel rows must fit in the stated size.
#include "carve/format_readers.h"

namespace tarvik {
namespace {

bool KnownInfoHeaderSize(std::uint32_t size) {
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
           size == 124;
}

bool KnownBitCount(std::uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

std::optional<CarveMatch> ReadBmp(const CarveInput& input) {
    const ByteView bytes = input.head;
    if (!HoldsText(bytes, 0, "BM")) return std::nullopt;
    const auto size = bytes.u32(2);
    const auto reserved = bytes.u32(6);
    const auto pixels = bytes.u32(10);
    const auto infoSize = bytes.u32(14);
    if (!size || !reserved || !pixels || !infoSize || *reserved != 0 ||
        !KnownInfoHeaderSize(*infoSize))
        return std::nullopt;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bits = 0;
    std::uint32_t compression = 0;
    if (*infoSize == 12) {
        width = bytes.u16(18).value_or(0);
        height = bytes.u16(20).value_or(0);
        planes = bytes.u16(22).value_or(0);
        bits = bytes.u16(24).value_or(0);
    } else {
        width = static_cast<std::int32_t>(bytes.u32(18).value_or(0));
        height = static_cast<std::int32_t>(bytes.u32(22).value_or(0));
        planes = bytes.u16(26).value_or(0);
        bits = bytes.u16(28).value_or(0);
        compression = bytes.u32(30).value_or(UINT32_MAX);
    }
    if (height < 0) height = -height;
    if (width <= 0 || height == 0 || planes != 1 || !KnownBitCount(bits) || compression > 6)
        return std::nullopt;
    if (*pixels < 14 + *infoSize || *pixels > *size) return std::nullopt;
    if (compression == 0) {
        // Uncompressed rows are padded to four bytes: they must fit in the stated size.
        const std::uint64_t row = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
        if (std::uint64_t{*pixels} + row * static_cast<std::uint64_t>(height) > *size)
            return std::nullopt;
    }
    if (*size > input.room) return CarveMatch{input.room, true, {}};
    return CarveMatch{*size, false, {}};
}

}  // namespace tarvik
