// A run list from fuzz bytes (the first byte picks the cluster size), placed on a drive.
#include <cstddef>
#include <cstdint>

#include "ntfs/run_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint32_t spc = std::uint32_t{1} << (data[0] % 13);
    const tarvik::ByteView list(data + 1, size - 1);
    for (const tarvik::DataRun& run : tarvik::DecodeRuns(list, 1000).runs) {
        const auto placed = tarvik::PlaceRun(run, spc);
        if (placed && !placed->sparse && !placed->start.Plus(placed->lengthSectors)) {
            __builtin_trap();  // a placed run lies wholly inside 64 bits
        }
    }
    return 0;
}
