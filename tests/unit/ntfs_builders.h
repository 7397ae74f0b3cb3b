#pragma once
// Builders of hand-made NTFS structures for the readers' unit tests: a FILE record with
// attributes and a valid fix-up, $FILE_NAME values, index entries and INDX blocks, and
// a sector source over bytes in memory.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "disk/sector_source.h"

namespace tarvik::testing {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 2; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put32(Bytes& b, std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put64(Bytes& b, std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline Bytes Utf16(const std::u16string& text) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return out;
}

// Writes the update sequence the way NTFS does on disk: each sector's tail goes into the
// array and the tail takes the update sequence number.
inline void ProtectSectors(Bytes& b, std::size_t usaOffset, std::uint16_t usn) {
    const std::size_t sectors = b.size() / 512;
    Put16(b, 4, usaOffset);
    Put16(b, 6, sectors + 1);
    Put16(b, usaOffset, usn);
    for (std::size_t k = 0; k < sectors; ++k) {
        const std::size_t tail = 512 * k + 510;
        b[usaOffset + 2 + 2 * k] = b[tail];
        b[usaOffset + 3 + 2 * k] = b[tail + 1];
        Put16(b, tail, usn);
    }
}

struct FileNameFields {
    std::u16string name;
    std::uint8_t nameSpace = 1;
    std::uint64_t parent = 5;
    std::uint32_t flags = 0x20;
    std::uint32_t reparseTag = 0;
    std::uint64_t realSize = 0;
};

inline Bytes FileNameValue(const FileNameFields& fields) {
    Bytes v(0x42, 0);
    Put64(v, 0x00, fields.parent);
    Put64(v, 0x08, 0x01D0'0000'0000'0000ull);
    Put64(v, 0x30, fields.realSize);
    Put32(v, 0x38, fields.flags);
    Put32(v, 0x3C, fields.reparseTag);
    v[0x40] = static_cast<std::uint8_t>(fields.name.size());
    v[0x41] = fields.nameSpace;
    const Bytes name = Utf16(fields.name);
    v.insert(v.end(), name.begin(), name.end());
    return v;
}

inline Bytes StandardInformationValue(std::uint64_t created, std::uint32_t attributes) {
    Bytes v(0x48, 0);
    Put64(v, 0, created);
    Put32(v, 0x20, attributes);
    return v;
}

// A FILE record of 1024 bytes; attributes are appended in the order given.
class RecordBuilder {
  public:
    explicit RecordBuilder(std::uint16_t flags = 1, std::size_t usaOffset = 0x30)
        : bytes_(1024, 0), usaOffset_(usaOffset) {
        std::memcpy(bytes_.data(), "FILE", 4);
        next_ = usaOffset == 0x2A ? 0x30 : 0x38;
        Put16(bytes_, 0x10, 1);
        Put16(bytes_, 0x14, next_);
        Put16(bytes_, 0x16, flags);
        Put32(bytes_, 0x1C, 1024);
    }

    RecordBuilder& Resident(std::uint32_t type, const Bytes& value,
                            const std::u16string& name = u"", std::uint16_t id = 0) {
        const Bytes n = Utf16(name);
        const std::size_t valueAt = Align(0x18 + n.size());
        Bytes a(Align(valueAt + value.size()), 0);
        Header(a, type, name.size(), 0x18, id);
        std::copy(n.begin(), n.end(), a.begin() + 0x18);
        Put32(a, 0x10, value.size());
        Put16(a, 0x14, valueAt);
        std::copy(value.begin(), value.end(), a.begin() + static_cast<std::ptrdiff_t>(valueAt));
        return Raw(a);
    }

    RecordBuilder& NonResident(std::uint32_t type, const Bytes& runList, std::uint64_t size,
                               const std::u16string& name = u"", std::uint16_t id = 0,
                               std::uint64_t startVcn = 0) {
        const Bytes n = Utf16(name);
        const std::size_t runsAt = Align(0x40 + n.size());
        Bytes a(Align(runsAt + runList.size() + 1), 0);
        Header(a, type, name.size(), 0x40, id);
        a[8] = 1;
        std::copy(n.begin(), n.end(), a.begin() + 0x40);
        Put64(a, 0x10, startVcn);
        Put16(a, 0x20, runsAt);
        Put64(a, 0x28, size);
        Put64(a, 0x30, size);
        Put64(a, 0x38, size);
        std::copy(runList.begin(), runList.end(), a.begin() + static_cast<std::ptrdiff_t>(runsAt));
        return Raw(a);
    }

    // A non-resident unnamed attribute as one extent of a file's data: its VCN range,
    // the three sizes, and the flags and compression unit of a compressed attribute.
    RecordBuilder& NonResidentExtent(std::uint32_t type, const Bytes& runList,
                                     std::uint64_t startVcn, std::uint64_t lastVcn,
                                     std::uint64_t realSize, std::uint64_t initializedSize,
                                     std::uint64_t allocatedSize, std::uint16_t id = 0,
                                     std::uint16_t flags = 0, std::uint16_t unitLog = 0) {
        NonResident(type, runList, realSize, u"", id, startVcn);
        Bytes& a = last_;
        Put16(a, 0x0C, flags);
        Put64(a, 0x18, lastVcn);
        Put16(a, 0x22, unitLog);
        Put64(a, 0x28, allocatedSize);
        Put64(a, 0x38, initializedSize);
        std::copy(a.begin(), a.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(lastAt_));
        return *this;
    }

    // The base record an extension record belongs to.
    RecordBuilder& BaseReference(std::uint64_t reference) {
        Put64(bytes_, 0x20, reference);
        return *this;
    }

    RecordBuilder& Raw(const Bytes& attribute) {
        if (next_ + attribute.size() + 8 > bytes_.size()) throw std::length_error("record full");
        std::copy(attribute.begin(), attribute.end(),
                  bytes_.begin() + static_cast<std::ptrdiff_t>(next_));
        last_ = attribute;
        lastAt_ = next_;
        next_ += attribute.size();
        return *this;
    }

    // The record as on disk (fix-up written) ...
    Bytes OnDisk(std::uint16_t usn = 0x0102) const {
        Bytes b = Finished();
        ProtectSectors(b, usaOffset_, usn);
        return b;
    }
    // ... and as the readers see it after the fix-up.
    Bytes Finished() const {
        Bytes b = bytes_;
        Put32(b, next_, 0xFFFFFFFF);
        Put32(b, 0x18, next_ + 8);
        return b;
    }

  private:
    static std::size_t Align(std::size_t n) { return (n + 7) & ~std::size_t{7}; }
    static void Header(Bytes& a, std::uint32_t type, std::size_t nameUnits, std::size_t nameAt,
                       std::uint16_t id) {
        Put32(a, 0, type);
        Put32(a, 4, a.size());
        a[9] = static_cast<std::uint8_t>(nameUnits);
        Put16(a, 0x0A, nameUnits ? nameAt : 0);
        Put16(a, 0x0E, id);
    }

    Bytes bytes_;
    std::size_t usaOffset_;
    std::size_t next_;
    Bytes last_;  // the attribute appended last, and where it starts
    std::size_t lastAt_ = 0;
};

// An index entry with a $FILE_NAME key, or the closing entry (last = true, no key).
inline Bytes IndexEntryBytes(std::uint64_t reference, const FileNameFields& name) {
    const Bytes key = FileNameValue(name);
    Bytes e((0x10 + key.size() + 7) & ~std::size_t{7}, 0);
    Put64(e, 0, reference);
    Put16(e, 8, e.size());
    Put16(e, 0x0A, key.size());
    std::copy(key.begin(), key.end(), e.begin() + 0x10);
    return e;
}
inline Bytes LastEntryBytes() {
    Bytes e(0x10, 0);
    Put16(e, 8, 0x10);
    Put16(e, 0x0C, 0x02);
    return e;
}

// A drive of `sectors` sectors where sector n holds the byte n % 251 throughout, so a
// read's bytes tell which sectors it came from.
inline Bytes Numbered(std::uint64_t sectors) {
    Bytes bytes(sectors * 512);
    for (std::uint64_t s = 0; s < sectors; ++s)
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(s * 512), 512,
                    static_cast<std::uint8_t>(s % 251));
    return bytes;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// An $INDEX_ROOT value over the given entries.
inline Bytes IndexRootValue(const Bytes& entries, bool hasChildren = false) {
    Bytes v(0x20, 0);
    Put32(v, 0, 0x30);
    Put32(v, 4, 1);
    Put32(v, 8, 4096);
    v[0x0C] = 1;
    Put32(v, 0x10, 0x10);
    Put32(v, 0x14, 0x10 + entries.size());
    Put32(v, 0x18, 0x10 + entries.size());
    v[0x1C] = hasChildren ? 1 : 0;
    v.insert(v.end(), entries.begin(), entries.end());
    return v;
}

// An INDX block of `sectors` sectors, on-disk form.
inline Bytes IndxBlock(const Bytes& entries, std::size_t sectors = 8, std::uint64_t vcn = 0) {
    Bytes b(512 * sectors, 0);
    std::memcpy(b.data(), "INDX", 4);
    Put64(b, 0x10, vcn);
    const std::size_t entriesAt = 0x40;  // past the array of up to 17 entries
    Put32(b, 0x18, entriesAt - 0x18);
    Put32(b, 0x1C, entriesAt - 0x18 + entries.size());
    Put32(b, 0x20, b.size() - 0x18);
    std::copy(entries.begin(), entries.end(), b.begin() + entriesAt);
    ProtectSectors(b, 0x28, 0x0A0B);
    return b;
}

// A drive in memory, counting the reads it answers; listed sectors fail to read.
class MemorySource final : public SectorSource {
  public:
    explicit MemorySource(std::size_t sectors) : bytes(sectors * 512, 0) {}
    bool Read(DriveSector first, std::span<std::uint8_t> buffer) override {
        const std::uint64_t sector = first.value();
        ++reads;
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        for (std::size_t i = 0; i < buffer.size() / 512; ++i) {
            if (failing.count(sector + i)) return false;
        }
        const std::size_t at = static_cast<std::size_t>(sector) * 512;
        if (at >= bytes.size()) return true;
        const std::size_t n = std::min(buffer.size(), bytes.size() - at);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
        return true;
    }
    void Place(std::uint64_t sector, const Bytes& data) {
        std::copy(data.begin(), data.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(sector * 512));
    }

    Bytes bytes;
    std::set<std::uint64_t> failing;
    std::size_t reads = 0;
};

// One attribute-list entry naming an unnamed $DATA extent.
inline Bytes DataListEntry(std::uint64_t startVcn, std::uint32_t record, std::uint16_t id) {
    Bytes e(0x20, 0);
    Put32(e, 0, 0x80);
    Put16(e, 4, 0x20);
    e[7] = 0x1A;
    Put64(e, 8, startVcn);
    Put64(e, 0x10, record);
    Put16(e, 0x18, id);
    return e;
}

}  // namespace tarvik::testing
