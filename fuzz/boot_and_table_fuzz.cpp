// One sector from fuzz bytes read as a partition table, an NTFS boot sector and (with
// the next sector) an MFT record name as the disk search reads it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/boot_sector.h"
#include "partition/partition_table.h"
#include "partition/search_record_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarvik::ByteView bytes(data, size);
    tarvik::PartitionTableSector::Parse(bytes);
    if (const auto boot = tarvik::NtfsBootSector::Parse(bytes)) {
        boot->IsPlausibleVolume();
        boot->SectorsPerCluster();
    }
    std::vector<std::uint8_t> record(data, data + size);
    record.resize(1024);
    tarvik::SearchRecordName(tarvik::ByteView(record.data(), record.size()));
    return 0;
}
