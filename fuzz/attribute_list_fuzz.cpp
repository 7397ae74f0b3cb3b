// An attribute list from fuzz bytes, with the extent helpers over it; then the input's
// first 1 KiB as a base record whose attribute list (resident, or read through its runs
// from a small drive built from the input) names extension records that are further
// slices of the input: what the scan takes from them stays within bounds and ends.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "disk/memory_sector_source.h"
#include "ntfs/attribute_list.h"
#include "ntfs/file_record.h"
#include "ntfs/listed_attributes.h"
#include "ntfs/record_inspection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto list = tarvik::ParseAttributeList(tarvik::ByteView(data, size));
    tarvik::UnnamedDataExtents(list);
    tarvik::IndexAllocationExtents(list);
    tarvik::IndexRootRecord(list);

    constexpr std::size_t kRecord = tarvik::kMinRecordSize;
    if (size < kRecord) return 0;
    tarvik::RecordBuffer record(data, data + kRecord);
    if (!tarvik::PrepareFileRecord(record)) return 0;
    auto inspected = tarvik::InspectPreparedRecord(record);
    if (!inspected) return 0;
    const tarvik::RecordFetcher fetch = [&](std::uint32_t number, tarvik::RecordBuffer& out) {
        const std::size_t slices = size / kRecord;
        const std::uint8_t* slice = data + (number % slices) * kRecord;
        out.assign(slice, slice + kRecord);
        return true;
    };
    tarvik::MemorySectorSource source(std::vector<std::uint8_t>(data, data + size));
    tarvik::TakeListedAttributes(*inspected, tarvik::ByteView(record), 40, fetch, source, 1);
    return 0;
}
