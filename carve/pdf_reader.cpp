// PDF: "%PDF-" and a version, objects, and a trailer that ends "startxref", the offset of
// the cross-reference and "%%EOF". A file updated in place has several such trailers; the
// file ends after the last one that lies before the next file begins (a cluster that
// starts with another format's signature, or a cluster of zeros).
#include <algorithm>
#include <cstring>

#include "carve/format_readers.h"

namespace tarvik {
namespace {

constexpr std::string_view kEndMarker = "%%EOF";
constexpr std::string_view kStartXref = "startxref";
// How far before "%%EOF" the "startxref" line and its number may begin.
constexpr std::size_t kTrailerReach = 40;

bool AllZeros(ByteView bytes) {
    return std::all_of(bytes.data(), bytes.data() + bytes.size(),
                       [](std::uint8_t b) { return b == 0; });
}

// Whether the "%%EOF" at `at` closes a trailer: "startxref", digits, then the marker.
bool ClosesTrailer(ByteView bytes, std::size_t at) {
    const std::size_t from = at > kTrailerReach ? at - kTrailerReach : 0;
    const auto* begin = reinterpret_cast<const char*>(bytes.data());
    const std::string_view before(begin + from, at - from);
    const std::size_t xref = before.rfind(kStartXref);
    if (xref == std::string_view::npos) return false;
    bool digits = false;
    for (std::size_t i = xref + kStartXref.size(); i < before.size(); ++i) {
        const char c = before[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c != '\r' && c != '\n' && c != ' ') {
            return false;
        }
    }
    return digits;
}

// The end of an end-of-line after `at` ("\r\n", "\n" or "\r"), which writers put after
// the marker.
std::size_t PastLineEnd(ByteView bytes, std::size_t at) {
    if (bytes.u8(at) == '\r') ++at;
    if (bytes.u8(at) == '\n') ++at;
    return at;
}

}  // namespace

std::optional<CarveMatch> ReadPdf(const CarveInput& input) {
    const ByteView bytes = input.head;
    if (!HoldsText(bytes, 0, "%PDF-")) return std::nullopt;
    const auto major = bytes.u8(5);
    const auto dot = bytes.u8(6);
    if (!major || *major < '1' || *major > '2' || dot != '.') return std::nullopt;
    const std::size_t cluster = std::max<std::uint32_t>(input.clusterBytes, 512);
    const auto* text = reinterpret_cast<const char*>(bytes.data());
    const std::string_view all(text, bytes.size());
    std::size_t end = 0;
    std::size_t lastObject = 0;
    std::size_t at = 0;
    for (std::size_t boundary = cluster; at < bytes.size(); boundary += cluster) {
        const std::size_t stop = std::min(boundary, bytes.size());
        // Markers that begin in this cluster (they may reach into the next).
        for (;;) {
            const std::size_t found = all.find(kEndMarker, at);
            if (found == std::string_view::npos || found >= stop) break;
            if (ClosesTrailer(bytes, found)) end = PastLineEnd(bytes, found + kEndMarker.size());
            at = found + 1;
        }
        if (end == 0) {
            const std::size_t from = stop > cluster + 6 ? stop - cluster - 6 : 0;
            const std::size_t object = all.substr(from, stop - from).rfind("endobj");
            if (object != std::string_view::npos) lastObject = from + object + 6;
        }
        at = std::max(at, stop > kEndMarker.size() ? stop - kEndMarker.size() + 1 : 0);
        if (stop >= bytes.size()) break;
        const ByteView next = bytes.sub(stop, std::min(cluster, bytes.size() - stop));
        if (SignatureType(next).has_value() || AllZeros(next)) break;
    }
    if (end != 0) return CarveMatch{end, false, {}};
    if (lastObject != 0) return CarveMatch{lastObject, true, {}};
    return std::nullopt;
}

}  // namespace tarvik
