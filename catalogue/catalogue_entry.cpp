#include "catalogue/catalogue_entry.h"

#include <cstring>

namespace tarvik {

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A UTF-8 character is at most four bytes: a lead byte and up to three continuations.
constexpr std::size_t kMaxContinuationBytes = 3;

}  // namespace

std::string_view TruncateUtf8(std::string_view utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes) return utf8;
    // The byte at the cut is the first one dropped. When it continues a character, the
    // cut moves back to that character's lead byte, so the whole character is dropped.
    std::size_t cut = maxBytes;
    std::size_t back = 0;
    while (back < kMaxContinuationBytes && cut > 0 && IsContinuationByte(utf8[cut])) {
        --cut;
        ++back;
    }
    // More continuation bytes than a character can have is not UTF-8: cut at the limit
    // rather than eat further into the name.
    if (IsContinuationByte(utf8[cut])) return utf8.substr(0, maxBytes);
    return utf8.substr(0, cut);
}

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
