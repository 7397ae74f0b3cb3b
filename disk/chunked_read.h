#pragma once
// Reading a whole disk or drive front to back in chunks of 63 sectors, as the searches
// do: many chunks per request, a failed request retried chunk by chunk, and a chunk
// that still cannot be read handed over as unreadable (the search skips it).
#include <cstdint>
#include <functional>

#include "disk/sector_source.h"

namespace tarvik {

inline constexpr std::uint32_t kSearchChunkSectors = 63;

// Called once per chunk in order with the chunk's first sector and its 63 sectors (the
// last chunk may reach past the end: what lies there reads as zeros). Returns false to
// stop the reading.
using ChunkVisitor =
    std::function<bool(DriveSector firstSector, const std::uint8_t* bytes, bool readable)>;

void ReadInChunks(SectorSource& source, std::uint64_t sectorCount, const ChunkVisitor& visit);

}  // namespace tarvik
