// An attribute list from fuzz bytes, with the extent helpers over it.
#include <cstddef>
#include <cstdint>

#include "ntfs/attribute_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto list = tarvik::ParseAttributeList(tarvik::ByteView(data, size));
    tarvik::UnnamedDataExtents(list);
    tarvik::IndexAllocationExtents(list);
    tarvik::IndexRootRecord(list);
    return 0;
}
