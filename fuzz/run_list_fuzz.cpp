// A run list from fuzz bytes (the first byte picks the cluster size), placed on a drive.
#include <cstddef>
#include <cstdint>

#include "ntfs/run_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint32_t spc = std::uint32_t{1} << (data[0] % 13);
    const tarvik::ByteView list(data + 1, size - 1);
    tarvik::RunTable table(64);
    const std::uint64_t sectors = tarvik::DecodeRunList(list, spc, table);
    if (sectors != table.TotalSectors()) __builtin_trap();
    tarvik::PlaceRuns(table, spc);
    tarvik::DecodeRuns(list, 1000);
    return 0;
}
