// GIF: the header and logical screen descriptor with its colour table, then image
// descriptors (with their colour tables and LZW data in sub-blocks) and extensions (in
// sub-blocks), to the trailer byte 0x3B.
#include "carve/format_readers.h"

namespace tarvik {
namespace {

constexpr std::size_t kScreenDescriptorEnd = 13;

// The offset past a chain of sub-blocks from `at` (ended by a block of length 0), or
// nothing when the chain runs past the bytes.
std::optional<std::size_t> SkipSubBlocks(ByteView bytes, std::size_t at) {
    for (;;) {
        const auto length = bytes.u8(at);
        if (!length) return std::nullopt;
        at += 1 + std::size_t{*length};
        if (*length == 0) return at;
    }
}

std::size_t ColourTableBytes(std::uint8_t flags) {
    return (flags & 0x80) != 0 ? 3u * (2u << (flags & 0x07)) : 0;
}

}  // namespace

std::optional<CarveMatch> ReadGif(const CarveInput& input) {
    const ByteView bytes = input.head;
    if (!HoldsText(bytes, 0, "GIF87a") && !HoldsText(bytes, 0, "GIF89a")) return std::nullopt;
    const auto width = bytes.u16(6);
    const auto height = bytes.u16(8);
    const auto flags = bytes.u8(10);
    if (!width || !height || !flags || *width == 0 || *height == 0) return std::nullopt;
    std::size_t at = kScreenDescriptorEnd + ColourTableBytes(*flags);
    std::size_t images = 0;
    const auto cut = [&](std::size_t where) -> std::optional<CarveMatch> {
        if (images == 0) return std::nullopt;
        return CarveMatch{where, true, {}};
    };
    for (;;) {
        const auto block = bytes.u8(at);
        if (!block) return cut(at);
        if (*block == 0x3B) {
            if (images == 0) return std::nullopt;
            return CarveMatch{at + 1, false, {}};
        }
        if (*block == 0x21) {
            const auto label = bytes.u8(at + 1);
            if (!label) return cut(at);
            const auto next = SkipSubBlocks(bytes, at + 2);
            if (!next) return cut(at);
            at = *next;
            continue;
        }
        if (*block != 0x2C) return cut(at);
        const auto imageWidth = bytes.u16(at + 5);
        const auto imageFlags = bytes.u8(at + 9);
        if (!imageWidth || !imageFlags || *imageWidth == 0) return cut(at);
        const std::size_t lzw = at + 10 + ColourTableBytes(*imageFlags);
        const auto codeSize = bytes.u8(lzw);
        if (!codeSize || *codeSize < 2 || *codeSize > 11) return cut(at);
        const auto next = SkipSubBlocks(bytes, lzw + 1);
        if (!next) return cut(at);
        ++images;
        at = *next;
    }
}

}  // namespace tarvik
