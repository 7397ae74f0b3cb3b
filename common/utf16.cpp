#include "common/utf16.h"

#include "common/byte_view.h"

namespace tarvik {
namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A UTF-8 character is at most four bytes: a lead byte and up to three continuations.
constexpr std::size_t kMaxContinuationBytes = 3;

constexpr std::uint32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::uint32_t UnitAt(std::span<const std::uint8_t> bytes, std::size_t i) {
    return static_cast<std::uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

// The code point that starts at unit `i`, stepping `i` past it: a surrogate pair is one
// code point, an unpaired half the replacement character.
std::uint32_t NextCodePoint(std::span<const std::uint8_t> bytes, std::size_t units,
                            std::size_t& i) {
    const std::uint32_t unit = UnitAt(bytes, i++);
    if (IsHighSurrogate(unit) && i < units && IsLowSurrogate(UnitAt(bytes, i))) {
        const std::uint32_t low = UnitAt(bytes, i++);
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) return kReplacement;
    return unit;
}

std::size_t Utf8Length(std::uint32_t cp) {
    if (cp < 0x80) return 1;
    if (cp < 0x800) return 2;
    return cp < 0x10000 ? 3 : 4;
}

char* PutUtf8(char* out, std::uint32_t cp) {
    auto put = [&out](std::uint32_t byte) { *out++ = static_cast<char>(byte); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
    return out;
}

// How many units from the start are ASCII, each one byte in UTF-8 as it is.
std::size_t AsciiPrefixUnits(std::span<const std::uint8_t> bytes, std::size_t units) {
    // Four units at a time first: a unit is ASCII when its high byte and the top bit of
    // its low byte are clear.
    constexpr std::uint64_t kOutsideAscii = 0xFF80'FF80'FF80'FF80ull;
    const ByteView view(bytes);
    std::size_t i = 0;
    while (i + 4 <= units && (*view.u64(2 * i) & kOutsideAscii) == 0) i += 4;
    while (i < units && bytes[2 * i] < 0x80 && bytes[2 * i + 1] == 0) ++i;
    return i;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes) {
    const std::size_t units = bytes.size() / 2;
    const std::size_t ascii = AsciiPrefixUnits(bytes, units);
    // Most names are ASCII: the string is sized once and takes their low bytes.
    std::size_t length = ascii;
    for (std::size_t i = ascii; i < units;) length += Utf8Length(NextCodePoint(bytes, units, i));
    std::string out(length, '\0');
    char* put = out.data();
    for (std::size_t i = 0; i < ascii; ++i) *put++ = static_cast<char>(bytes[2 * i]);
    for (std::size_t i = ascii; i < units;) put = PutUtf8(put, NextCodePoint(bytes, units, i));
    return out;
}

bool Utf16LeEqualsUtf8(std::span<const std::uint8_t> utf16le, std::string_view utf8) {
    // Every unit outside ASCII decodes to bytes outside ASCII, so an ASCII text equals
    // the units exactly when they are its bytes one for one.
    if (!IsAscii(utf8)) return Utf16LeToUtf8(utf16le) == utf8;
    if (utf16le.size() / 2 != utf8.size()) return false;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (UnitAt(utf16le, i) != static_cast<unsigned char>(utf8[i])) return false;
    }
    return true;
}

// Longer "extensions" are part of the name: a dot deep inside a long name does not
// make the rest of it something to keep whole.
constexpr std::size_t kMaxExtensionBytes = 32;

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

std::string ShortenName(std::string_view utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes) return std::string(utf8);
    const std::size_t dot = utf8.rfind('.');
    const bool hasExtension = dot != std::string_view::npos && dot != 0 &&
                              utf8.size() - dot <= kMaxExtensionBytes &&
                              utf8.size() - dot < maxBytes;
    if (!hasExtension) return std::string(TruncateUtf8(utf8, maxBytes));
    const std::string_view extension = utf8.substr(dot);
    std::string name(TruncateUtf8(utf8.substr(0, dot), maxBytes - extension.size()));
    name += extension;
    return name;
}

}  // namespace tarvik
