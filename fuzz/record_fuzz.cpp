// A FILE record from fuzz bytes: fix-up and summary.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/record_summary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> record(data, data + size);
    tarvik::PrepareFileRecord(record);
    const tarvik::ByteView view(record);
    const auto summary = tarvik::SummarizeRecord(view);
    if (summary && summary->residentData && summary->realSize > record.size()) {
        __builtin_trap();  // a resident value must lie inside the record
    }
    return 0;
}
