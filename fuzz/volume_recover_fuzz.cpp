// A whole volume, scanned and then recovered in full into a temporary folder: the data
// maps, the copy with its decompression and the writer with its names and folders all
// run on what a hostile volume says. The folder is emptied after each input so that the
// inputs do not add up on disk.
//
// An input is the volume with its zero sectors left out, so that seeds made from real
// volumes stay small: a 32-bit count of sectors (at most 8192, 4 MiB), then pieces of a
// 32-bit first sector, a 16-bit sector count and that many sectors of bytes (the last
// piece may end early). Sectors no piece gives are zeros. tools/fuzz_seed.py makes such
// an input from an image.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "disk/memory_sector_source.h"
#include "ntfs/scan_engine.h"
#include "recovery/recovery_writer.h"

namespace {

constexpr std::uint64_t kMaxSectors = 8192;

const std::string& Destination() {
    static const std::string folder = [] {
        std::string pattern = std::filesystem::temp_directory_path() / "tarvik-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
    return folder;
}

std::uint64_t Little(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

std::vector<std::uint8_t> Volume(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t sectors = std::clamp<std::uint64_t>(Little(data, 4), 1, kMaxSectors);
    std::vector<std::uint8_t> volume(sectors * 512, 0);
    std::size_t at = 4;
    while (at + 6 <= size) {
        const std::uint64_t first = Little(data + at, 4);
        const std::uint64_t count = Little(data + at + 4, 2);
        at += 6;
        const std::size_t bytes = std::min<std::size_t>(count * 512, size - at);
        if (first < sectors) {
            const std::size_t room = (sectors - first) * 512;
            std::memcpy(volume.data() + first * 512, data + at, std::min(bytes, room));
        }
        at += bytes;
    }
    return volume;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::vector<std::uint8_t> volume = Volume(data, size);
    const std::uint64_t sectors = volume.size() / 512;
    tarvik::ScanEngine engine(0x80, tarvik::DiskSector(0), sectors,
                              std::make_unique<tarvik::MemorySectorSource>(std::move(volume)));
    tarvik::NullNotifier notifier;
    tarvik::NullProgressSink progress;
    if (!engine.ValidateBootSector(notifier)) return 0;
    engine.Scan(progress, notifier);
    tarvik::RecoveryWriter writer(engine, progress, notifier);
    writer.Run(Destination(), tarvik::RecoveryMode::kAll, "");
    std::error_code ignored;
    for (const auto& made : std::filesystem::directory_iterator(Destination(), ignored))
        std::filesystem::remove_all(made.path(), ignored);
    return 0;
}
