// RIFF (WAV and AVI): "RIFF", the size of what follows, the form type, then chunks of a
// four-character id, a size and the data, padded to an even length. The walk checks
// every chunk header it has bytes for; the stated size says where the file ends.
#include "carve/format_readers.h"

namespace tarvik {
namespace {

constexpr std::size_t kRiffHeaderBytes = 12;

bool IsChunkId(ByteView bytes, std::size_t at) {
    for (std::size_t i = 0; i < 4; ++i) {
        const auto c = bytes.u8(at + i);
        if (!c || *c < 0x20 || *c > 0x7E) return false;
    }
    return true;
}

}  // namespace

std::optional<CarveMatch> ReadRiff(const CarveInput& input) {
    const ByteView bytes = input.head;
    if (!HoldsText(bytes, 0, "RIFF")) return std::nullopt;
    const auto size = bytes.u32(4);
    std::string_view extension;
    if (HoldsText(bytes, 8, "WAVE")) extension = "wav";
    if (HoldsText(bytes, 8, "AVI ")) extension = "avi";
    if (!size || extension.empty() || *size < 4 + 8) return std::nullopt;
    const std::uint64_t end = 8 + std::uint64_t{*size} + (*size & 1);
    // The first chunk is the format ("fmt ") or the header list ("LIST"): else this is
    // only a header that looks like one.
    const auto firstSize = bytes.u32(kRiffHeaderBytes + 4);
    const bool firstKnown =
        HoldsText(bytes, kRiffHeaderBytes, "fmt ") || HoldsText(bytes, kRiffHeaderBytes, "LIST");
    if (!firstKnown || !firstSize || kRiffHeaderBytes + 8 + std::uint64_t{*firstSize} > end)
        return std::nullopt;
    std::uint64_t at = kRiffHeaderBytes;
    while (at < end && at + 8 <= bytes.size()) {
        const auto chunk = bytes.u32(static_cast<std::size_t>(at) + 4);
        if (!IsChunkId(bytes, static_cast<std::size_t>(at)) || !chunk || at + 8 + *chunk > end) {
            return CarveMatch{at, true, extension};
        }
        at += 8 + std::uint64_t{*chunk} + (*chunk & 1);
    }
    // A last chunk's padding byte is sometimes left out of the stated size.
    if (at != end && at != end + 1 && at < bytes.size()) return CarveMatch{at, true, extension};
    if (end > input.room) return CarveMatch{input.room, true, extension};
    return CarveMatch{end, false, extension};
}

}  // namespace tarvik
