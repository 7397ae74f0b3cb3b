#pragma once
// Readers that tell, from its bytes alone, where a file of a known format that begins at
// a cluster's first byte ends. Each walks the format's own structure (markers, chunks and
// their CRCs, box and chunk sizes, the records of a ZIP's directory) rather than trusting
// a magic number, so bytes that merely begin like a file are refused.
//
// A file whose structure breaks before its end (its next clusters were given to another
// file, or it was stored in pieces) is cut where it breaks and called partial: its later
// pieces are not guessed at.
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/byte_view.h"

namespace tarvik {

enum class CarvedType : std::uint8_t {
    kJpeg,
    kPng,
    kGif,
    kBmp,
    kPdf,
    kZip,
    kRiff,
    kMp4,
    kSqlite,
};
inline constexpr std::size_t kCarvedTypeCount = 9;

// What a reader is shown: the bytes from the candidate's first byte on, as far as they
// were read, and how far the free space it lies in goes on (room >= head.size()).
struct CarveInput {
    ByteView head;
    std::uint64_t room = 0;
    // Files begin at cluster boundaries: a format with no end marker of its own stops at
    // a boundary where another file begins.
    std::uint32_t clusterBytes = 4096;
};

struct CarveMatch {
    // Bytes of the file from its first. At most `room`; past head.size() only for formats
    // whose header states their length (the bytes past what was read are not examined).
    std::uint64_t length = 0;
    bool partial = false;
    // The name ending the bytes show ("docx" for a ZIP holding a Word document, "wav",
    // "avi", "mov"); the type's own when empty.
    std::string_view extension;
};

// The format whose signature the bytes at `head` begin with, if any.
std::optional<CarvedType> SignatureType(ByteView head);

// The reader of `type`: nothing when the bytes do not hold enough of that format's
// structure to be taken for such a file.
std::optional<CarveMatch> ReadCarved(CarvedType type, const CarveInput& input);

std::optional<CarveMatch> ReadJpeg(const CarveInput& input);
std::optional<CarveMatch> ReadPng(const CarveInput& input);
std::optional<CarveMatch> ReadGif(const CarveInput& input);
std::optional<CarveMatch> ReadBmp(const CarveInput& input);
std::optional<CarveMatch> ReadPdf(const CarveInput& input);
std::optional<CarveMatch> ReadZip(const CarveInput& input);
std::optional<CarveMatch> ReadRiff(const CarveInput& input);
std::optional<CarveMatch> ReadMp4(const CarveInput& input);
std::optional<CarveMatch> ReadSqlite(const CarveInput& input);

// The name ending of a type ("jpg", "png", ...) and the folder its files are shown in.
std::string_view CarvedExtension(CarvedType type);
std::string_view CarvedFolderName(CarvedType type);

// Big-endian loads for the formats that store their numbers so; nothing past the view.
std::optional<std::uint16_t> LoadBe16(ByteView view, std::size_t offset);
std::optional<std::uint32_t> LoadBe32(ByteView view, std::size_t offset);
std::optional<std::uint64_t> LoadBe64(ByteView view, std::size_t offset);
// Whether the view holds `text` at `offset`.
bool HoldsText(ByteView view, std::size_t offset, std::string_view text);
// The CRC-32 of ZIP and PNG (reflected 0xEDB88320).
std::uint32_t CarveCrc32(ByteView bytes, std::uint32_t crc = 0);

}  // namespace tarvik
