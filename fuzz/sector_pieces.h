#pragma once
// The input of the fuzz targets that take a whole volume: the volume with its zero
// sectors left out, so that seeds made from real volumes stay small. A 32-bit count of
// sectors, then pieces of a 32-bit first sector, a 16-bit sector count and that many
// sectors of bytes (the last piece may end early). Sectors no piece gives are zeros.
// tools/fuzz_seed.py makes such an input from an image.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvik::fuzz {

inline std::uint64_t LittleEndian(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

// The sector count the input states (at least 4 bytes of input).
inline std::uint64_t StatedSectors(const std::uint8_t* data) {
    return LittleEndian(data, 4);
}

// Calls give(first sector, bytes) for each piece, in input order; bytes may end inside
// a sector when the input does.
template <typename Give>
void ForEachPiece(const std::uint8_t* data, std::size_t size, Give give) {
    std::size_t at = 4;
    while (at + 6 <= size) {
        const std::uint64_t first = LittleEndian(data + at, 4);
        const std::uint64_t count = LittleEndian(data + at + 4, 2);
        at += 6;
        const std::size_t bytes = std::min<std::size_t>(count * 512, size - at);
        give(first, std::span<const std::uint8_t>(data + at, bytes));
        at += bytes;
    }
}

}  // namespace tarvik::fuzz
