// A whole volume, scanned and then recovered in full into a temporary folder: the data
// maps, the copy with its decompression and the writer with its names and folders all
// run on what a hostile volume says. The folder is emptied after each input so that the
// inputs do not add up on disk.
//
// An input is a volume in pieces (fuzz/sector_pieces.h) of at most 8192 sectors (4 MiB).
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
#include "fuzz/sector_pieces.h"
#include "recovery/recovery_writer.h"
#include "scan/scan_engine.h"

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

std::vector<std::uint8_t> Volume(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t sectors =
        std::clamp<std::uint64_t>(tarvik::fuzz::StatedSectors(data), 1, kMaxSectors);
    std::vector<std::uint8_t> volume(sectors * 512, 0);
    tarvik::fuzz::ForEachPiece(data, size, [&](std::uint64_t first, auto bytes) {
        if (first >= sectors) return;
        const std::size_t room = (sectors - first) * 512;
        std::memcpy(volume.data() + first * 512, bytes.data(), std::min(bytes.size(), room));
    });
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
