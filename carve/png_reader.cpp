// PNG: the signature, then chunks of a length, a type of four letters, the data and a
// CRC of type and data, from IHDR to IEND. A chunk whose CRC fails is where the file
// breaks.
#include "carve/format_readers.h"

namespace tarvik {
namespace {

constexpr std::size_t kSignatureBytes = 8;
constexpr std::uint32_t kMaxChunkBytes = 0x7FFFFFFF;

bool IsChunkType(ByteView bytes, std::size_t at) {
    for (std::size_t i = 0; i < 4; ++i) {
        const auto c = bytes.u8(at + i);
        if (!c || !((*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z'))) return false;
    }
    return true;
}

}  // namespace

std::optional<CarveMatch> ReadPng(const CarveInput& input) {
    const ByteView bytes = input.head;
    if (!HoldsText(bytes, 1, "PNG\r\n\x1A\n") || bytes.u8(0) != 0x89) return std::nullopt;
    std::size_t at = kSignatureBytes;
    bool first = true;
    for (;;) {
        const auto length = LoadBe32(bytes, at);
        const bool fits = length && *length <= kMaxChunkBytes && IsChunkType(bytes, at + 4) &&
                          bytes.has(at + 4, std::size_t{4} + *length + 4);
        const bool valid =
            fits && CarveCrc32(bytes.sub(at + 4, 4 + *length)) == LoadBe32(bytes, at + 8 + *length);
        if (first) {
            // The header chunk first, 13 bytes, its CRC right: else this is no PNG.
            if (!valid || *length != 13 || !HoldsText(bytes, at + 4, "IHDR")) return std::nullopt;
            first = false;
        } else if (!valid) {
            return CarveMatch{at, true, {}};
        }
        const bool end = HoldsText(bytes, at + 4, "IEND");
        at += 12 + std::size_t{*length};
        if (end) return CarveMatch{at, false, {}};
    }
}

}  // namespace tarvik
