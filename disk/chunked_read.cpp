#include "disk/chunked_read.h"

#include <algorithm>
#include <vector>

namespace tarvik {

namespace {

constexpr std::uint64_t kChunksPerRead = 64;
constexpr std::size_t kChunkBytes = kSearchChunkSectors * 512;

}  // namespace

void ReadInChunks(SectorSource& source, std::uint64_t sectorCount, const ChunkVisitor& visit) {
    std::vector<std::uint8_t> buffer(kChunksPerRead * kChunkBytes);
    // Sectors from `d` on, up to `limit` of them and no further than the count: the tail
    // of the last chunk is not read but zeroed, as a short read would leave it, so that
    // the read of a drive that ends inside a chunk does not fail for want of sectors
    // that are not the drive's.
    const auto readUpTo = [&](std::uint64_t d, std::uint8_t* into, std::uint64_t limit) {
        const std::uint64_t sectors = std::min(limit, sectorCount - d);
        std::fill(into + sectors * 512, into + limit * 512, std::uint8_t{0});
        return source.Read(DriveSector(d), std::span(into, sectors * 512));
    };
    for (std::uint64_t d = 0; d < sectorCount;) {
        const std::uint64_t chunks = std::min<std::uint64_t>(
            kChunksPerRead, (sectorCount - d + kSearchChunkSectors - 1) / kSearchChunkSectors);
        const bool batchRead = readUpTo(d, buffer.data(), chunks * kSearchChunkSectors);
        for (std::uint64_t c = 0; c < chunks; ++c, d += kSearchChunkSectors) {
            std::uint8_t* chunk = buffer.data() + c * kChunkBytes;
            const bool readable = batchRead || readUpTo(d, chunk, kSearchChunkSectors);
            if (!visit(DriveSector(d), chunk, readable)) return;
        }
    }
}

}  // namespace tarvik
