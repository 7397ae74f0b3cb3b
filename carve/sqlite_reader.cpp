// SQLite: the 100-byte database header states the page size and, when its "valid for"
// counter matches the change counter, the page count; the file is their product. The
// first page holds the schema's b-tree, so its page type follows the header.
#include "carve/format_readers.h"

namespace tarvik {
namespace {

constexpr std::size_t kHeaderBytes = 100;
constexpr std::uint8_t kTableInterior = 0x05;
constexpr std::uint8_t kTableLeaf = 0x0D;

}  // namespace

std::optional<CarveMatch> ReadSqlite(const CarveInput& input) {
    const ByteView bytes = input.head;
    if (!HoldsText(bytes, 0, std::string_view("SQLite format 3\0", 16))) return std::nullopt;
    const auto pageField = LoadBe16(bytes, 16);
    const auto writeVersion = bytes.u8(18);
    const auto readVersion = bytes.u8(19);
    const auto changes = LoadBe32(bytes, 24);
    const auto pages = LoadBe32(bytes, 28);
    const auto validFor = LoadBe32(bytes, 92);
    const auto pageType = bytes.u8(kHeaderBytes);
    if (!pageField || !writeVersion || !readVersion || !changes || !pages || !validFor || !pageType)
        return std::nullopt;
    const std::uint32_t pageSize = *pageField == 1 ? 65536u : *pageField;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) return std::nullopt;
    if (*writeVersion < 1 || *writeVersion > 2 || *readVersion < 1 || *readVersion > 2)
        return std::nullopt;
    if (bytes.u8(21) != 64 || bytes.u8(22) != 32 || bytes.u8(23) != 32) return std::nullopt;
    if (*changes != *validFor || *pages == 0) return std::nullopt;
    if (*pageType != kTableLeaf && *pageType != kTableInterior) return std::nullopt;
    const std::uint64_t length = std::uint64_t{pageSize} * *pages;
    if (length > input.room) return CarveMatch{input.room - input.room % pageSize, true, {}};
    return CarveMatch{length, false, {}};
}

}  // namespace tarvik
