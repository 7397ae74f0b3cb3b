// A FILE record from fuzz bytes: fix-up, walk and summary.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/record_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> record(data, data + size);
    tarvik::PrepareFileRecord(record);
    const tarvik::ByteView view(record);
    tarvik::WalkRecord(view, tarvik::kLiteralAttributeLimit);
    const auto summary = tarvik::SummarizeRecord(view);
    if (summary && summary->walk.locator.resident == 0 && summary->walk.locator.position != 0 &&
        summary->walk.locator.position >= record.size()) {
        __builtin_trap();  // a located run list must lie inside the record
    }
    tarvik::IndexRootEntries(view);
    return 0;
}
