#pragma once
// NTFS stores names as UTF-16LE; the catalogue and the recovered files use UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvik {

// The longest file name Linux file systems take, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;

// Decodes UTF-16LE bytes to UTF-8. Surrogate pairs become one 4-byte character; an
// unpaired surrogate becomes U+FFFD. An odd trailing byte is ignored.
std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes);

// True when the UTF-16LE bytes decode (as above) to exactly `utf8`. An ASCII text, such
// as an attribute name the code looks for, is compared without decoding.
bool Utf16LeEqualsUtf8(std::span<const std::uint8_t> utf16le, std::string_view utf8);

// The longest prefix of `utf8` of at most `maxBytes` bytes that does not end inside a
// multi-byte character. Bytes that are not valid UTF-8 are kept as they are.
std::string_view TruncateUtf8(std::string_view utf8, std::size_t maxBytes = kMaxNameBytes);

// A name of more than `maxBytes` bytes shortened to fit: the stem is cut on a character
// boundary and the extension (from the last dot, when it is short enough to leave room
// for a stem and the name does not begin with it) is kept, so "photo.jpeg" stays a JPEG.
std::string ShortenName(std::string_view utf8, std::size_t maxBytes = kMaxNameBytes);

// A name as the catalogue keeps it: whole. At most 255 UTF-16 units, so at most 765
// bytes; whoever writes it to a file system shortens it there.
inline std::string DecodeName(std::span<const std::uint8_t> utf16le) {
    return Utf16LeToUtf8(utf16le);
}

}  // namespace tarvik
