// Fuzz bytes as a whole small disk: the GPT found at either sector size (headers, entry
// arrays, the backup copy at the end), each entry placed and classified.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "partition/gpt_drives.h"
#include "partition/gpt_header.h"
#include "partition/gpt_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarvik::DiskBytesReader read = [data, size](std::uint64_t offset,
                                                      std::span<std::uint8_t> out) {
        if (offset >= size) return false;
        const std::size_t n = std::min<std::size_t>(out.size(), size - offset);
        std::memcpy(out.data(), data + offset, n);
        std::memset(out.data() + n, 0, out.size() - n);
        return true;
    };
    tarvik::GptHeader::Parse(tarvik::ByteView(data, size));
    tarvik::GptEntry::Parse(tarvik::ByteView(data, size));
    const auto table = tarvik::FindGptTable(read, size, std::nullopt);
    if (!table) return 0;
    for (const tarvik::GptEntry& entry : table->partitions) {
        const auto extent = tarvik::ExtentInUnits(entry, table->sectorSize);
        if (!extent) continue;
        const std::uint64_t at = extent->start * 512;
        const tarvik::ByteView first =
            at < size ? tarvik::ByteView(data + at, std::min<std::size_t>(512, size - at))
                      : tarvik::ByteView();
        tarvik::ClassifyGptPartition(entry, *extent, first);
    }
    return 0;
}
