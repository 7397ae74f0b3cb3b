#pragma once
// NTFS stores names as UTF-16LE; the catalogue and the recovered files use UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvik {

// The catalogue's name field holds at most this many bytes (and Linux file names too).
inline constexpr std::size_t kMaxNameBytes = 255;

// Decodes UTF-16LE bytes to UTF-8. Surrogate pairs become one 4-byte character; an
// unpaired surrogate becomes U+FFFD. An odd trailing byte is ignored.
std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes);

// The longest prefix of a UTF-8 text that fits in maxBytes and ends on a character
// boundary.
std::string TruncateUtf8(std::string_view text, std::size_t maxBytes = kMaxNameBytes);

// Both of the above: a name as the catalogue keeps it.
inline std::string DecodeName(std::span<const std::uint8_t> utf16le) {
    return TruncateUtf8(Utf16LeToUtf8(utf16le));
}

}  // namespace tarvik
