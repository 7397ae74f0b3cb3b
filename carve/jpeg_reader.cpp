// JPEG: a start-of-image marker, segments each stating its length, entropy-coded data
// after each start-of-scan (where a 0xFF byte is followed by 0x00 or a restart marker),
// and an end-of-image marker. A marker that no JPEG writer emits, or a segment that runs
// past the bytes, is where the file breaks.
#include "carve/format_readers.h"

namespace tarvik {
namespace {

bool IsSegmentMarker(std::uint8_t m) {
    if (m >= 0xC0 && m <= 0xCF) return m != 0xC8;  // frames, Huffman and arithmetic tables
    if (m >= 0xE0 && m <= 0xEF) return true;       // application segments
    return m == 0xDA || m == 0xDB || m == 0xDC || m == 0xDD || m == 0xDE || m == 0xDF || m == 0xFE;
}

bool IsFrameMarker(std::uint8_t m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Where the entropy-coded data from `at` ends: the offset of the 0xFF of the next marker,
// or the view's size when none follows within it.
std::size_t EntropyEnd(ByteView bytes, std::size_t at) {
    const std::uint8_t* p = bytes.data();
    const std::size_t size = bytes.size();
    while (at + 1 < size) {
        if (p[at] != 0xFF) {
            ++at;
            continue;
        }
        const std::uint8_t next = p[at + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
            at += 2;
        } else if (next == 0xFF) {
            ++at;  // fill byte before a marker
        } else {
            return at;
        }
    }
    return size;
}

}  // namespace

std::optional<CarveMatch> ReadJpeg(const CarveInput& input) {
    const ByteView bytes = input.head;
    if (!LoadBe16(bytes, 0).has_value() || *LoadBe16(bytes, 0) != 0xFFD8) return std::nullopt;
    std::size_t at = 2;
    bool frame = false;
    bool scan = false;
    const auto cut = [&](std::size_t where) -> std::optional<CarveMatch> {
        if (!scan) return std::nullopt;  // too little of a JPEG to call it one
        return CarveMatch{where, true, {}};
    };
    for (;;) {
        const auto marker = LoadBe16(bytes, at);
        if (!marker) return cut(at);
        if ((*marker >> 8) != 0xFF) return cut(at);
        const auto m = static_cast<std::uint8_t>(*marker & 0xFF);
        if (m == 0xFF) {
            ++at;
            continue;
        }
        if (m == 0xD9) {
            if (!scan) return std::nullopt;
            return CarveMatch{at + 2, false, {}};
        }
        if (!IsSegmentMarker(m)) return cut(at);
        const auto length = LoadBe16(bytes, at + 2);
        if (!length || *length < 2 || !bytes.has(at + 2, *length)) return cut(at);
        if (IsFrameMarker(m)) {
            // Precision, height, width and component count: a frame of no components or
            // no width is no image.
            const auto width = LoadBe16(bytes, at + 7);
            const auto components = bytes.u8(at + 9);
            if (!width || *width == 0 || !components || *components == 0 ||
                *length != 8 + 3 * *components)
                return cut(at);
            frame = true;
        }
        const std::size_t segmentEnd = at + 2 + *length;
        if (m == 0xDA) {
            if (!frame) return cut(at);
            scan = true;
            at = EntropyEnd(bytes, segmentEnd);
            if (at >= bytes.size()) return cut(bytes.size());
            continue;
        }
        at = segmentEnd;
    }
}

}  // namespace tarvik
