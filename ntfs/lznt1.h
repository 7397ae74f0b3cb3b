#pragma once
// LZNT1, the compression of NTFS compressed files: a sequence of chunks, each with a
// 16-bit header (stored size - 3 in bits 0-11, bit 15 set when compressed) and standing
// for 4096 bytes of output. A compressed chunk is groups of a flag byte and eight items,
// each a literal byte or a 16-bit back-reference whose split between offset and length
// depends on how far into the chunk the output is.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tarvik {

inline constexpr std::size_t kLznt1ChunkBytes = 4096;

// Decompresses `input` into `output`. A chunk that yields less than 4096 bytes is
// followed by zeros up to its 4096 (so is a unit that ends early: `output` is zeroed
// first). Ends at a zero chunk header, at the end of the input, or when the output is
// full. Nothing on a back-reference before the chunk's start, a chunk running past the
// input, or output that would not fit. Returns the bytes produced, zero tails included
// of every chunk but the last.
std::optional<std::size_t> DecompressLznt1(std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output);

}  // namespace tarvik
