#include "carve/format_readers.h"

#include <zlib.h>

#include <array>

namespace tarvik {

std::optional<std::uint16_t> LoadBe16(ByteView view, std::size_t offset) {
    if (!view.has(offset, 2)) return std::nullopt;
    const std::uint8_t* p = view.data() + offset;
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::optional<std::uint32_t> LoadBe32(ByteView view, std::size_t offset) {
    if (!view.has(offset, 4)) return std::nullopt;
    const std::uint8_t* p = view.data() + offset;
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

std::optional<std::uint64_t> LoadBe64(ByteView view, std::size_t offset) {
    const auto high = LoadBe32(view, offset);
    const auto low = LoadBe32(view, offset + 4);
    if (!high || !low) return std::nullopt;
    return (std::uint64_t{*high} << 32) | *low;
}

bool HoldsText(ByteView view, std::size_t offset, std::string_view text) {
    if (!view.has(offset, text.size())) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (view.data()[offset + i] != static_cast<std::uint8_t>(text[i])) return false;
    }
    return true;
}

std::uint32_t CarveCrc32(ByteView bytes, std::uint32_t crc) {
    // zlib's crc32 takes at most a uInt of bytes at a time.
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const std::size_t step = std::min<std::size_t>(left, 1u << 30);
        crc = static_cast<std::uint32_t>(::crc32(crc, p, static_cast<uInt>(step)));
        p += step;
        left -= step;
    }
    return crc;
}

std::optional<CarvedType> SignatureType(ByteView head) {
    static constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P',  'N',  'G',
                                                                  0x0D, 0x0A, 0x1A, 0x0A};
    const std::uint8_t* p = head.data();
    if (head.size() < 16) return std::nullopt;
    if (p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return CarvedType::kJpeg;
    if (std::equal(kPngSignature.begin(), kPngSignature.end(), p)) return CarvedType::kPng;
    if (HoldsText(head, 0, "GIF87a") || HoldsText(head, 0, "GIF89a")) return CarvedType::kGif;
    if (p[0] == 'B' && p[1] == 'M') return CarvedType::kBmp;
    if (HoldsText(head, 0, "%PDF-")) return CarvedType::kPdf;
    if (HoldsText(head, 0, "PK\x03\x04")) return CarvedType::kZip;
    if (HoldsText(head, 0, "RIFF")) return CarvedType::kRiff;
    if (HoldsText(head, 4, "ftyp")) return CarvedType::kMp4;
    if (HoldsText(head, 0, std::string_view("SQLite format 3\0", 16))) return CarvedType::kSqlite;
    return std::nullopt;
}

std::optional<CarveMatch> ReadCarved(CarvedType type, const CarveInput& input) {
    switch (type) {
        case CarvedType::kJpeg:
            return ReadJpeg(input);
        case CarvedType::kPng:
            return ReadPng(input);
        case CarvedType::kGif:
            return ReadGif(input);
        case CarvedType::kBmp:
            return ReadBmp(input);
        case CarvedType::kPdf:
            return ReadPdf(input);
        case CarvedType::kZip:
            return ReadZip(input);
        case CarvedType::kRiff:
            return ReadRiff(input);
        case CarvedType::kMp4:
            return ReadMp4(input);
        case CarvedType::kSqlite:
            return ReadSqlite(input);
    }
    return std::nullopt;
}

std::string_view CarvedExtension(CarvedType type) {
    switch (type) {
        case CarvedType::kJpeg:
            return "jpg";
        case CarvedType::kPng:
            return "png";
        case CarvedType::kGif:
            return "gif";
        case CarvedType::kBmp:
            return "bmp";
        case CarvedType::kPdf:
            return "pdf";
        case CarvedType::kZip:
            return "zip";
        case CarvedType::kRiff:
            return "riff";
        case CarvedType::kMp4:
            return "mp4";
        case CarvedType::kSqlite:
            return "sqlite";
    }
    return "bin";
}

std::string_view CarvedFolderName(CarvedType type) {
    switch (type) {
        case CarvedType::kJpeg:
            return "JPEG";
        case CarvedType::kPng:
            return "PNG";
        case CarvedType::kGif:
            return "GIF";
        case CarvedType::kBmp:
            return "BMP";
        case CarvedType::kPdf:
            return "PDF";
        case CarvedType::kZip:
            return "ZIP";
        case CarvedType::kRiff:
            return "RIFF";
        case CarvedType::kMp4:
            return "MP4";
        case CarvedType::kSqlite:
            return "SQLite";
    }
    return "Other";
}

}  // namespace tarvik
