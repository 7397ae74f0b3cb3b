// A whole volume from fuzz bytes, scanned and then recovered in full into a temporary
// folder: the data maps, the copy with its decompression and the writer with its names
// and folders all run on what a hostile volume says. The folder is emptied after each
// input so that the inputs do not add up on disk.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "disk/memory_sector_source.h"
#include "ntfs/scan_engine.h"
#include "recovery/recovery_writer.h"

namespace {

const std::string& Destination() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-fuzz-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 512 || size > (1u << 22)) return 0;
    std::vector<std::uint8_t> volume(data, data + size);
    volume.resize((size + 511) / 512 * 512);
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
