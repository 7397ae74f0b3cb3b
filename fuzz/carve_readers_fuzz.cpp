// Every carving reader over arbitrary bytes, and the carving pass over them as a small
// volume: a reader never reads out of bounds, never claims more than the free space
// holds, nor more than it was shown unless its format states its length; the pass ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "carve/carve_pass.h"
#include "carve/format_readers.h"
#include "disk/memory_sector_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    if (size < 2) return 0;
    // The first byte picks the reader, so each is reached whatever the signature; the
    // second how much free space lies past the bytes.
    const auto type = static_cast<CarvedType>(data[0] % kCarvedTypeCount);
    const std::uint64_t extra = std::uint64_t{data[1]} << 12;
    const ByteView head(data + 2, size - 2);
    const CarveInput input{head, head.size() + extra, 512u << (data[1] % 4)};
    if (const auto match = ReadCarved(type, input)) {
        if (match->length > input.room) std::abort();
        const bool statesLength = type == CarvedType::kBmp || type == CarvedType::kRiff ||
                                  type == CarvedType::kSqlite || type == CarvedType::kMp4;
        if (match->length > head.size() && !statesLength) std::abort();
    }
    std::vector<std::uint8_t> volume(data + 2, data + size);
    volume.resize((volume.size() + 4095) / 4096 * 4096);
    MemorySectorSource source(volume);
    NullProgressSink progress;
    CarveOptions options;
    options.requestBytes = 8192;
    options.windowBytes = 16384;
    const std::vector<ClusterExtent> extents = {{0, volume.size() / 4096}};
    const CarveOutcome outcome = CarveClusters(source, extents, 8, progress, nullptr, options);
    for (const CarvedFile& file : outcome.files) {
        if (file.firstCluster * 4096 + file.length > volume.size()) std::abort();
    }
    return 0;
}
