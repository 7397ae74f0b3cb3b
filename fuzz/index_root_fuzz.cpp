// An $INDEX_ROOT value from fuzz bytes and the entries it holds.
#include <cstddef>
#include <cstdint>

#include "ntfs/index_entry.h"
#include "ntfs/index_root.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarvik::ByteView value(data, size);
    const auto root = tarvik::IndexRoot::Parse(value);
    if (!root) return 0;
    root->BlockSectors();
    tarvik::ForEachAcceptedEntry(root->Entries(value), [](const tarvik::IndexEntry& entry) {
        if (!entry.fileName) __builtin_trap();
    });
    return 0;
}
