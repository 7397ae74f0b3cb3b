// LZNT1 decompression of arbitrary bytes into one compression unit (16 clusters of 4 KiB
// at most): never reads or writes out of bounds, never reports more than the unit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ntfs/lznt1.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the unit size, as cluster sizes 512 B to 4 KiB would.
    const std::size_t unit = std::size_t{16} * 512u << (data[0] % 4);
    std::vector<std::uint8_t> output(unit);
    const auto produced = tarvik::DecompressLznt1({data + 1, size - 1}, output);
    if (produced && *produced > unit) std::abort();
    return 0;
}
