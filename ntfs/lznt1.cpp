#include "ntfs/lznt1.h"

#include <algorithm>
#include <cstring>

namespace tarvik {
namespace {

constexpr std::uint16_t kChunkSizeMask = 0x0FFF;
constexpr std::uint16_t kChunkCompressed = 0x8000;
constexpr std::size_t kChunkHeaderBytes = 2;

// Decodes one compressed chunk's data into `out` (at most one chunk's worth). Returns
// the bytes produced, or nothing when the data is malformed.
std::optional<std::size_t> DecodeChunk(std::span<const std::uint8_t> in,
                                       std::span<std::uint8_t> out) {
    std::size_t inPos = 0;
    std::size_t outPos = 0;
    while (inPos < in.size()) {
        const std::uint8_t flags = in[inPos++];
        for (int bit = 0; bit < 8 && inPos < in.size(); ++bit) {
            if ((flags & (1u << bit)) == 0) {
                if (outPos >= out.size()) return std::nullopt;
                out[outPos++] = in[inPos++];
                continue;
            }
            if (inPos + 2 > in.size() || outPos == 0) return std::nullopt;
            const std::uint16_t token =
                static_cast<std::uint16_t>(in[inPos] | (in[inPos + 1] << 8));
            inPos += 2;
            // The further into the chunk, the more bits the offset takes.
            unsigned offsetShift = 12;
            std::uint16_t lengthMask = 0x0FFF;
            for (std::size_t p = outPos - 1; p >= 0x10; p >>= 1) {
                --offsetShift;
                lengthMask = static_cast<std::uint16_t>(lengthMask >> 1);
            }
            const std::size_t offset = static_cast<std::size_t>(token >> offsetShift) + 1;
            const std::size_t length = static_cast<std::size_t>(token & lengthMask) + 3;
            if (offset > outPos || length > out.size() - outPos) return std::nullopt;
            // Byte by byte: the source may overlap what is being written.
            for (std::size_t k = 0; k < length; ++k, ++outPos) out[outPos] = out[outPos - offset];
        }
    }
    return outPos;
}

}  // namespace

std::optional<std::size_t> DecompressLznt1(std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output) {
    std::fill(output.begin(), output.end(), std::uint8_t{0});
    std::size_t inPos = 0;
    std::size_t outPos = 0;
    while (inPos + kChunkHeaderBytes <= input.size() && outPos < output.size()) {
        const std::uint16_t header =
            static_cast<std::uint16_t>(input[inPos] | (input[inPos + 1] << 8));
        if (header == 0) break;
        inPos += kChunkHeaderBytes;
        const std::size_t size = static_cast<std::size_t>(header & kChunkSizeMask) + 1;
        if (size > input.size() - inPos) return std::nullopt;
        const auto data = input.subspan(inPos, size);
        inPos += size;
        auto room = output.subspan(outPos, std::min(kLznt1ChunkBytes, output.size() - outPos));
        std::size_t produced = 0;
        if ((header & kChunkCompressed) != 0) {
            const auto decoded = DecodeChunk(data, room);
            if (!decoded) return std::nullopt;
            produced = *decoded;
        } else {
            if (size > room.size()) return std::nullopt;
            std::memcpy(room.data(), data.data(), size);
            produced = size;
        }
        // A short chunk stands for a whole 4096 bytes; the rest of it is zeros. The
        // last chunk's length is what it produced.
        const bool more =
            inPos + kChunkHeaderBytes <= input.size() && (input[inPos] | input[inPos + 1]) != 0;
        outPos += more ? room.size() : produced;
    }
    return outPos;
}

}  // namespace tarvik
