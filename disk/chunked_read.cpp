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
    for (std::uint64_t d = 0; d < sectorCount;) {
        const std::uint64_t chunks = std::min<std::uint64_t>(
            kChunksPerRead, (sectorCount - d + kSearchChunkSectors - 1) / kSearchChunkSectors);
        const bool batchRead =
            source.Read(DriveSector(d), std::span(buffer.data(), chunks * kChunkBytes));
        for (std::uint64_t c = 0; c < chunks; ++c, d += kSearchChunkSectors) {
            std::uint8_t* chunk = buffer.data() + c * kChunkBytes;
            const bool readable =
                batchRead || source.Read(DriveSector(d), std::span(chunk, kChunkBytes));
            if (!visit(DriveSector(d), chunk, readable)) return;
        }
    }
}

}  // namespace tarvik
