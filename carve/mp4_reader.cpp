// MP4 and QuickTime: top-level boxes of a 32-bit size (or 1 and a 64-bit size after the
// type) and a four-character type, from "ftyp". There is no end marker: the file ends
// before the first bytes that are not a top-level box. It is whole when it holds both
// the movie header ("moov") and its media data ("mdat").
#include <array>

#include "carve/format_readers.h"

namespace tarvik {
namespace {

constexpr std::array<std::string_view, 16> kTopLevelBoxes = {
    "ftyp", "moov", "mdat", "free", "skip", "wide", "uuid", "meta",
    "pdin", "moof", "mfra", "styp", "sidx", "udta", "pnot", "junk"};

bool IsTopLevelBox(ByteView bytes, std::size_t at) {
    for (std::string_view type : kTopLevelBoxes) {
        if (HoldsText(bytes, at + 4, type)) return true;
    }
    return false;
}

}  // namespace

std::optional<CarveMatch> ReadMp4(const CarveInput& input) {
    const ByteView bytes = input.head;
    const auto ftypSize = LoadBe32(bytes, 0);
    if (!HoldsText(bytes, 4, "ftyp") || !ftypSize || *ftypSize < 16 || *ftypSize > 4096 ||
        !bytes.has(0, *ftypSize))
        return std::nullopt;
    for (std::size_t i = 8; i < 12; ++i) {
        const auto c = bytes.u8(i);
        if (*c < 0x20 || *c > 0x7E) return std::nullopt;
    }
    const std::string_view extension = HoldsText(bytes, 8, "qt  ") ? "mov" : "mp4";
    bool movie = false;
    bool media = false;
    std::uint64_t at = 0;
    while (at + 8 <= bytes.size() && IsTopLevelBox(bytes, static_cast<std::size_t>(at))) {
        const std::size_t here = static_cast<std::size_t>(at);
        std::uint64_t size = *LoadBe32(bytes, here);
        std::uint64_t header = 8;
        if (size == 1) {
            const auto large = LoadBe64(bytes, here + 8);
            if (!large) break;
            size = *large;
            header = 16;
        }
        if (size < header) break;
        if (HoldsText(bytes, here + 4, "moov")) movie = true;
        if (HoldsText(bytes, here + 4, "mdat")) media = true;
        if (at + size > input.room) return CarveMatch{input.room, true, extension};
        at += size;
    }
    if (at <= *ftypSize) return std::nullopt;
    return CarveMatch{at, !(movie && media), extension};
}

}  // namespace tarvik
