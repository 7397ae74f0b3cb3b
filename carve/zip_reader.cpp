// ZIP, and the document formats stored as ZIP archives: local file headers each followed
// by their data (whose CRC is checked, inflating deflated entries), the central
// directory whose records must name the same offsets and CRCs, an optional ZIP64 end
// record and locator, and the end-of-central-directory record with its comment.
#include <zlib.h>

#include <array>
#include <string>
#include <vector>

#include "carve/format_readers.h"

namespace tarvik {
namespace {

constexpr std::size_t kLocalHeaderBytes = 30;
constexpr std::size_t kCentralHeaderBytes = 46;
constexpr std::size_t kEndRecordBytes = 22;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

struct LocalEntry {
    std::size_t offset = 0;
    std::uint32_t crc = 0;
};

struct Inflated {
    std::size_t consumed = 0;  // compressed bytes the stream took
    std::uint64_t produced = 0;
    std::uint32_t crc = 0;
};

// Inflates a raw deflate stream from the start of `data` to its end, computing the CRC of
// what it produces; nothing when the stream is damaged or runs past the bytes.
std::optional<Inflated> InflateStream(ByteView data) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return std::nullopt;
    std::array<std::uint8_t, 1 << 16> out{};
    Inflated result;
    std::size_t offered = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (stream.avail_in == 0) {
            const std::size_t step = std::min<std::size_t>(data.size() - offered, 1u << 30);
            if (step == 0) break;
            stream.next_in = const_cast<Bytef*>(data.data() + offered);
            stream.avail_in = static_cast<uInt>(step);
            offered += step;
        }
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t made = out.size() - stream.avail_out;
        result.crc = CarveCrc32(ByteView(out.data(), made), result.crc);
        result.produced += made;
    }
    result.consumed = offered - stream.avail_in;
    inflateEnd(&stream);
    if (status != Z_STREAM_END) return std::nullopt;
    return result;
}

std::string_view Text(ByteView bytes, std::size_t offset, std::size_t length) {
    if (!bytes.has(offset, length)) return {};
    return {reinterpret_cast<const char*>(bytes.data() + offset), length};
}

// The document format an archive holds, from its entries' names and an OpenDocument's
// "mimetype" entry (stored first, uncompressed).
std::string_view DocumentExtension(ByteView bytes, const std::vector<std::string_view>& names) {
    bool contentTypes = false;
    std::string_view office;
    for (std::string_view name : names) {
        if (name == "[Content_Types].xml") contentTypes = true;
        if (name.starts_with("word/")) office = "docx";
        if (name.starts_with("xl/")) office = "xlsx";
        if (name.starts_with("ppt/")) office = "pptx";
    }
    if (contentTypes && !office.empty()) return office;
    if (!names.empty() && names.front() == "mimetype") {
        const std::string_view mime = Text(bytes, kLocalHeaderBytes + 8, 60);
        constexpr std::string_view kPrefix = "application/vnd.oasis.opendocument.";
        if (mime.starts_with(std::string(kPrefix) + "text")) return "odt";
        if (mime.starts_with(std::string(kPrefix) + "spreadsheet")) return "ods";
        if (mime.starts_with(std::string(kPrefix) + "presentation")) return "odp";
    }
    return {};
}

class ZipWalk {
  public:
    explicit ZipWalk(ByteView bytes) : bytes_(bytes) {}

    std::optional<CarveMatch> Run() {
        std::size_t at = 0;
        while (HoldsText(bytes_, at, "PK\x03\x04")) {
            const auto next = LocalEntryEnd(at);
            if (!next) return Cut(at);
            at = *next;
        }
        if (locals_.empty()) return std::nullopt;
        const std::size_t directory = at;
        std::size_t index = 0;
        while (HoldsText(bytes_, at, "PK\x01\x02")) {
            const auto next = CentralEntryEnd(at, index++);
            if (!next) return Cut(at);
            at = *next;
        }
        if (index != locals_.size()) return Cut(directory);
        if (HoldsText(bytes_, at, "PK\x06\x06")) {
            const auto size = bytes_.u64(at + 4);
            if (!size || *size > bytes_.size()) return Cut(at);
            at += 12 + static_cast<std::size_t>(*size);
        }
        if (HoldsText(bytes_, at, "PK\x06\x07")) at += 20;
        if (!HoldsText(bytes_, at, "PK\x05\x06")) return Cut(at);
        const auto total = bytes_.u16(at + 10);
        const auto size = bytes_.u32(at + 12);
        const auto offset = bytes_.u32(at + 16);
        const auto comment = bytes_.u16(at + 20);
        const bool zip64 = total == 0xFFFF || offset == 0xFFFFFFFF;
        if (!total || !size || !offset || !comment) return Cut(at);
        if (!zip64 && (*total != locals_.size() || *offset != directory)) return Cut(at);
        const std::size_t end = at + kEndRecordBytes + *comment;
        if (!bytes_.has(0, end)) return Cut(at);
        return CarveMatch{end, false, DocumentExtension(bytes_, names_)};
    }

  private:
    std::optional<CarveMatch> Cut(std::size_t at) const {
        if (locals_.empty()) return std::nullopt;  // not one entry that checks out
        return CarveMatch{at, true, DocumentExtension(bytes_, names_)};
    }

    std::optional<std::size_t> LocalEntryEnd(std::size_t at) {
        const auto flags = bytes_.u16(at + 6);
        const auto method = bytes_.u16(at + 8);
        const auto crc = bytes_.u32(at + 14);
        const auto packed = bytes_.u32(at + 18);
        const auto plain = bytes_.u32(at + 22);
        const auto nameLength = bytes_.u16(at + 26);
        const auto extraLength = bytes_.u16(at + 28);
        if (!flags || !method || !crc || !packed || !plain || !nameLength || !extraLength ||
            *nameLength == 0)
            return std::nullopt;
        const std::size_t data = at + kLocalHeaderBytes + *nameLength + *extraLength;
        if (!bytes_.has(0, data)) return std::nullopt;
        if (*packed == 0xFFFFFFFF || *plain == 0xFFFFFFFF) return std::nullopt;  // ZIP64 sizes
        std::size_t end = 0;
        std::uint32_t expected = *crc;
        if (*method == kDeflated) {
            const auto inflated = InflateStream(bytes_.sub(data, bytes_.size() - data));
            if (!inflated) return std::nullopt;
            end = data + inflated->consumed;
            if ((*flags & kFlagDescriptor) != 0) {
                const std::size_t descriptor = HoldsText(bytes_, end, "PK\x07\x08") ? end + 4 : end;
                const auto written = bytes_.u32(descriptor);
                if (!written) return std::nullopt;
                expected = *written;
                end = descriptor + 12;
            } else if (*packed != inflated->consumed || *plain != inflated->produced) {
                return std::nullopt;
            }
            if (inflated->crc != expected) return std::nullopt;
        } else if (*method == kStored) {
            // A stored entry without sizes in its header cannot be measured.
            if ((*flags & kFlagDescriptor) != 0 || !bytes_.has(data, *packed)) return std::nullopt;
            end = data + *packed;
            if (*packed != *plain || CarveCrc32(bytes_.sub(data, *packed)) != *crc)
                return std::nullopt;
        } else {
            return std::nullopt;  // a method whose CRC cannot be checked here
        }
        if (!bytes_.has(0, end)) return std::nullopt;
        locals_.push_back({at, expected});
        names_.push_back(Text(bytes_, at + kLocalHeaderBytes, *nameLength));
        return end;
    }

    std::optional<std::size_t> CentralEntryEnd(std::size_t at, std::size_t index) const {
        const auto crc = bytes_.u32(at + 16);
        const auto nameLength = bytes_.u16(at + 28);
        const auto extraLength = bytes_.u16(at + 30);
        const auto commentLength = bytes_.u16(at + 32);
        const auto offset = bytes_.u32(at + 42);
        if (!crc || !nameLength || !extraLength || !commentLength || !offset) return std::nullopt;
        if (index >= locals_.size() || *crc != locals_[index].crc) return std::nullopt;
        if (*offset != 0xFFFFFFFF && *offset != locals_[index].offset) return std::nullopt;
        const std::size_t end =
            at + kCentralHeaderBytes + *nameLength + *extraLength + *commentLength;
        if (!bytes_.has(0, end)) return std::nullopt;
        return end;
    }

    ByteView bytes_;
    std::vector<LocalEntry> locals_;
    std::vector<std::string_view> names_;
};

}  // namespace

std::optional<CarveMatch> ReadZip(const CarveInput& input) {
    if (!HoldsText(input.head, 0, "PK\x03\x04")) return std::nullopt;
    return ZipWalk(input.head).Run();
}

}  // namespace tarvik
