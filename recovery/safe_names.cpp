#include "recovery/safe_names.h"

namespace tarvik {

std::string SafeName(std::string_view name) {
    std::string safe = ShortenName(name, kMaxNameBytes);
    for (char& c : safe) {
        if (c == '/' || c == '\0') c = '_';
    }
    if (safe.empty() || safe == "." || safe == "..") safe.insert(safe.begin(), '_');
    return safe;
}

namespace {

// The longest prefix of `text` of at most `bytes` bytes that ends on a UTF-8 character
// boundary.
std::string_view CutOnCharacter(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
    return text.substr(0, bytes);
}

}  // namespace

std::string FolderNames::Claim(const std::string& safeName) {
    if (taken_.insert(safeName).second) return safeName;
    const std::size_t dot = safeName.rfind('.');
    // An extension too long to leave room for a stem is kept as part of the name.
    const bool hasExtension =
        dot != std::string::npos && dot != 0 && safeName.size() - dot <= kMaxNameBytes / 2;
    const std::string_view whole(safeName);
    const std::string_view stem = hasExtension ? whole.substr(0, dot) : whole;
    const std::string_view extension = hasExtension ? whole.substr(dot) : std::string_view();
    for (unsigned k = 2;; ++k) {
        const std::string suffix = " (" + std::to_string(k) + ")";
        // The number must survive: the stem gives way so that the name still fits.
        const std::size_t room = kMaxNameBytes - suffix.size() - extension.size();
        std::string candidate(CutOnCharacter(stem, room));
        candidate += suffix;
        candidate += extension;
        if (taken_.insert(candidate).second) return candidate;
    }
}

}  // namespace tarvik
