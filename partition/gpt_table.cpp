#include "partition/gpt_table.h"

#include "common/positions.h"
#include "partition/crc32.h"
#include "partition/gpt_header.h"

namespace tarvik {

namespace {

std::optional<GptHeader> ReadHeaderAt(const DiskBytesReader& read, std::uint64_t lba,
                                      std::uint32_t sectorSize) {
    const auto offset = CheckedMul(lba, sectorSize);
    if (!offset) return std::nullopt;
    std::vector<std::uint8_t> sector(sectorSize);
    if (!read(*offset, sector)) return std::nullopt;
    auto header = GptHeader::Parse(ByteView(sector.data(), sector.size()));
    // A header copied to the wrong place (or an old one left behind) names another LBA.
    if (!header || header->myLba() != lba) return std::nullopt;
    return header;
}

// The used entries of a header's array; nothing when the array cannot be read or its
// CRC-32 does not match.
std::optional<std::vector<GptEntry>> ReadEntries(const DiskBytesReader& read,
                                                 const GptHeader& header, std::uint64_t diskBytes,
                                                 std::uint32_t sectorSize) {
    const auto offset = CheckedMul(header.entryArrayLba(), sectorSize);
    const std::uint64_t length = header.entryArrayBytes();
    if (!offset || *offset < 2ull * sectorSize) return std::nullopt;
    const auto end = CheckedAdd(*offset, length);
    if (!end || *end > diskBytes) return std::nullopt;
    // Read whole 512-byte units; the CRC covers only the array's own bytes.
    std::vector<std::uint8_t> bytes((length + 511) / 512 * 512);
    if (!read(*offset, bytes)) return std::nullopt;
    const std::span<const std::uint8_t> array(bytes.data(), length);
    if (Crc32(array) != header.entryArrayCrc()) return std::nullopt;
    std::vector<GptEntry> entries;
    for (std::uint64_t at = 0; at < length; at += header.entrySize()) {
        if (auto entry = GptEntry::Parse(ByteView(array.subspan(at, header.entrySize()))))
            entries.push_back(std::move(*entry));
    }
    return entries;
}

}  // namespace

std::optional<GptTable> ReadGptTable(const DiskBytesReader& read, std::uint64_t diskBytes,
                                     std::uint32_t sectorSize) {
    if (sectorSize < 512 || sectorSize % 512 != 0 || diskBytes / sectorSize < 3)
        return std::nullopt;
    const std::uint64_t lastLba = diskBytes / sectorSize - 1;
    std::optional<std::uint64_t> backupLba = lastLba;
    if (const auto primary = ReadHeaderAt(read, 1, sectorSize)) {
        if (auto entries = ReadEntries(read, *primary, diskBytes, sectorSize))
            return GptTable{sectorSize, false, std::move(*entries)};
        // The primary's own word on where its backup lies, for a disk that grew since.
        if (primary->alternateLba() <= lastLba) backupLba = primary->alternateLba();
    }
    for (const std::uint64_t lba : {*backupLba, lastLba}) {
        if (lba <= 1) continue;
        if (const auto backup = ReadHeaderAt(read, lba, sectorSize)) {
            if (auto entries = ReadEntries(read, *backup, diskBytes, sectorSize))
                return GptTable{sectorSize, true, std::move(*entries)};
        }
        if (lba == lastLba) break;
    }
    return std::nullopt;
}

std::optional<GptTable> FindGptTable(const DiskBytesReader& read, std::uint64_t diskBytes,
                                     std::optional<std::uint32_t> deviceSectorSize) {
    if (deviceSectorSize) {
        if (auto table = ReadGptTable(read, diskBytes, *deviceSectorSize)) return table;
    }
    for (const std::uint32_t size : {512u, 4096u}) {
        if (deviceSectorSize && size == *deviceSectorSize) continue;
        if (auto table = ReadGptTable(read, diskBytes, size)) return table;
    }
    return std::nullopt;
}

std::optional<GptExtent> ExtentInUnits(const GptEntry& entry, std::uint32_t sectorSize) {
    const std::uint32_t units = sectorSize / 512;
    const auto start = CheckedMul(entry.firstLba, units);
    const auto afterLast = CheckedAdd(entry.lastLba, 1);
    const auto end = afterLast ? CheckedMul(*afterLast, units) : std::nullopt;
    if (!start || !end) return std::nullopt;
    return GptExtent{*start, *end};
}

}  // namespace tarvik
