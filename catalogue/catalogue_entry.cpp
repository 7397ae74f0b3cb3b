#include "catalogue/catalogue_entry.h"

#include <cstring>

#include "common/utf16.h"

namespace tarvik {

void CatalogueEntry::SetName(std::string_view utf8) {
    const std::size_t nul = utf8.find('\0');
    if (nul != std::string_view::npos) utf8 = utf8.substr(0, nul);
    const std::string_view kept = TruncateUtf8(utf8, kEntryNameMaxBytes);
    std::memset(name, 0, sizeof name);
    std::memcpy(name, kept.data(), kept.size());
}

std::string_view CatalogueEntry::Name() const {
    const void* end = std::memchr(name, 0, sizeof name);
    const std::size_t length = end != nullptr
                                   ? static_cast<std::size_t>(static_cast<const char*>(end) - name)
                                   : sizeof name;
    return std::string_view(name, length);
}

}  // namespace tarvik
