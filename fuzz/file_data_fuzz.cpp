// A data map from an arbitrary 1 KiB record (fixed up and mapped as a base record whose
// extension records are further slices of the input), then copied from a small drive
// built from the input: the copy stays within the map's bounds and ends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "disk/memory_sector_source.h"
#include "filedata/file_data_copy.h"
#include "filedata/file_data_map.h"
#include "ntfs/file_record.h"

namespace {

class CountingOutput final : public tarvik::DataOutput {
  public:
    bool Write(std::span<const std::uint8_t> bytes) override {
        total += bytes.size();
        return total < (64u << 20);  // a damaged map may still claim a lot: stop early
    }
    std::size_t total = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kRecord = tarvik::kMinRecordSize;
    if (size < kRecord) return 0;
    tarvik::RecordBuffer record(data, data + kRecord);
    if (!tarvik::PrepareFileRecord(record)) return 0;
    const tarvik::RecordFetcher fetch = [&](std::uint32_t number, tarvik::RecordBuffer& out) {
        const std::size_t slices = size / kRecord;
        const std::uint8_t* slice = data + (number % slices) * kRecord;
        out.assign(slice, slice + kRecord);
        return true;
    };
    tarvik::MemorySectorSource source(std::vector<std::uint8_t>(data, data + size));
    const auto map = tarvik::MapFileData(tarvik::ByteView(record), 40, fetch, source, 1);
    if (!map) return 0;
    CountingOutput output;
    tarvik::CopyFileData(*map, source, 1, output, {});
    return 0;
}
