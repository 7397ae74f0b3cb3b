#include "session/find_entry.h"

namespace tarvik {

namespace {

// Decodes one UTF-8 character at `at` and moves past it; a byte that starts no valid
// sequence stands for itself, so any name can be compared.
char32_t NextCharacter(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    char32_t value = lead;
    if (lead >= 0xF0 && lead < 0xF8) {
        length = 4;
        value = lead & 0x07u;
    } else if (lead >= 0xE0) {
        length = lead < 0xF0 ? 3 : 1;
        value = lead & 0x0Fu;
    } else if (lead >= 0xC2) {
        length = 2;
        value = lead & 0x1Fu;
    }
    if (length == 1 || at + length > text.size()) {
        ++at;
        return lead;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if ((byte & 0xC0) != 0x80) {
            ++at;
            return lead;
        }
        value = (value << 6) | (byte & 0x3Fu);
    }
    at += length;
    return value;
}

char32_t Fold(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE && c != 0xD7) return c + 32;    // Latin-1 capitals
    if (c >= 0x100 && c <= 0x137) return c | 1u;  // Latin Extended-A: capital even
    if (c >= 0x139 && c <= 0x148) return (c & 1u) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1u;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c & 1u) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek capitals
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

// The characters of a text, folded unless case is to match.
std::u32string Characters(std::string_view text, bool matchCase) {
    std::u32string characters;
    characters.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = NextCharacter(text, at);
        characters.push_back(matchCase ? c : Fold(c));
    }
    return characters;
}

// The classic matcher with one point to go back to: after a '*' the rest of the pattern
// is tried at each later place of the name, never more than once per place.
bool FitsPattern(std::u32string_view name, std::u32string_view pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t star = std::u32string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            resume = n;
        } else if (star != std::u32string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool NameFits(std::string_view name, std::string_view text, bool matchCase) {
    if (text.empty()) return true;
    const std::u32string pattern = Characters(text, matchCase);
    const std::u32string characters = Characters(name, matchCase);
    if (pattern.find_first_of(U"*?") != std::u32string::npos)
        return FitsPattern(characters, pattern);
    return characters.find(pattern) != std::u32string::npos;
}

bool NameMatches(std::string_view name, std::string_view text, bool matchCase) {
    if (matchCase) return name == text;
    std::size_t a = 0;
    std::size_t b = 0;
    while (a < name.size() && b < text.size()) {
        if (Fold(NextCharacter(name, a)) != Fold(NextCharacter(text, b))) return false;
    }
    return a == name.size() && b == text.size();
}

bool EntryMatches(const CatalogueEntry& entry, std::string_view text, const FindOptions& options) {
    const bool candidate = entry.IsDeleted() ? options.deleted : options.existing;
    return candidate && NameFits(entry.Name(), text, options.matchCase);
}

std::optional<std::size_t> FindEntry(const Catalogue& catalogue, std::string_view text,
                                     const FindOptions& options, std::size_t from) {
    for (std::size_t index = from; index < catalogue.Count(); ++index)
        if (EntryMatches(catalogue.At(index), text, options)) return index;
    return std::nullopt;
}

}  // namespace tarvik
