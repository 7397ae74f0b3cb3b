#include "partition/gpt_entry.h"

#include <algorithm>

#include "common/utf16.h"

namespace tarvik {

std::optional<GptEntry> GptEntry::Parse(ByteView bytes) {
    if (!bytes.has(0, kSize)) return std::nullopt;
    GptEntry entry;
    std::copy_n(bytes.data() + kTypeGuidOffset, entry.type.size(), entry.type.begin());
    if (entry.type == GptGuid{}) return std::nullopt;
    entry.firstLba = *bytes.u64(kFirstLbaOffset);
    entry.lastLba = *bytes.u64(kLastLbaOffset);
    entry.attributes = *bytes.u64(kAttributesOffset);
    if (entry.lastLba < entry.firstLba) return std::nullopt;
    // The name fills its field or ends at a NUL unit.
    std::size_t length = 0;
    while (length + 1 < kNameBytes && (*bytes.u16(kNameOffset + length)) != 0) length += 2;
    entry.name = Utf16LeToUtf8(bytes.span().subspan(kNameOffset, length));
    return entry;
}

}  // namespace tarvik
