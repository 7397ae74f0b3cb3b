#pragma once
// Hand-built MFT FILE records for edge cases no fixture volume shows: attributes are
// appended as raw bytes, and Finish() writes the end marker and the fix-up as a disk
// holds it.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tarvik::testing {

class RecordBuilder {
  public:
    static constexpr std::size_t kFirstAttribute = 0x38;

    explicit RecordBuilder(std::uint64_t baseReference = 0) {
        std::memcpy(bytes_.data(), "FILE", 4);
        Put16(0x04, 0x30);  // update sequence array offset
        Put16(0x06, 3);     // its count: the number and two sector tails
        Put16(0x14, kFirstAttribute);
        Put16(0x16, 1);  // in use
        Put32(0x1C, 1024);
        Put64(0x20, baseReference);
        at_ = kFirstAttribute;
    }

    // A resident attribute with the given value.
    RecordBuilder& Resident(std::uint32_t type, const std::vector<std::uint8_t>& value,
                            std::uint16_t id = 0) {
        const std::size_t length = Align8(0x18 + value.size());
        Header(type, length, false, id);
        Put32(at_ + 0x10, static_cast<std::uint32_t>(value.size()));
        Put16(at_ + 0x14, 0x18);
        std::memcpy(bytes_.data() + at_ + 0x18, value.data(), value.size());
        at_ += length;
        return *this;
    }

    // A non-resident unnamed attribute with the given run list and sizes.
    RecordBuilder& NonResident(std::uint32_t type, const std::vector<std::uint8_t>& runList,
                               std::uint64_t startVcn, std::uint64_t lastVcn,
                               std::uint64_t realSize, std::uint64_t initializedSize,
                               std::uint64_t allocatedSize, std::uint16_t id = 0,
                               std::uint16_t flags = 0, std::uint16_t unitLog = 0) {
        const std::size_t length = Align8(0x40 + runList.size() + 1);
        Header(type, length, true, id);
        Put16(at_ + 0x0C, flags);
        Put64(at_ + 0x10, startVcn);
        Put64(at_ + 0x18, lastVcn);
        Put16(at_ + 0x20, 0x40);
        Put16(at_ + 0x22, unitLog);
        Put64(at_ + 0x28, allocatedSize);
        Put64(at_ + 0x30, realSize);
        Put64(at_ + 0x38, initializedSize);
        std::memcpy(bytes_.data() + at_ + 0x40, runList.data(), runList.size());
        at_ += length;
        return *this;
    }

    // The record as a disk holds it: end marker, used size, sector tails swapped for
    // the update sequence number.
    std::array<std::uint8_t, 1024> Finish() {
        Put32(at_, 0xFFFFFFFF);
        Put32(0x18, static_cast<std::uint32_t>(at_ + 8));
        std::array<std::uint8_t, 1024> out = bytes_;
        const std::uint16_t usn = 0x0101;
        std::memcpy(out.data() + 0x30, &usn, 2);
        for (std::size_t sector = 0; sector < 2; ++sector) {
            const std::size_t tail = sector * 512 + 510;
            std::memcpy(out.data() + 0x32 + sector * 2, out.data() + tail, 2);
            std::memcpy(out.data() + tail, &usn, 2);
        }
        return out;
    }

  private:
    static std::size_t Align8(std::size_t n) { return (n + 7) & ~std::size_t{7}; }
    void Header(std::uint32_t type, std::size_t length, bool nonResident, std::uint16_t id) {
        Put32(at_, type);
        Put32(at_ + 4, static_cast<std::uint32_t>(length));
        bytes_[at_ + 8] = nonResident ? 1 : 0;
        Put16(at_ + 0x0E, id);
    }
    void Put16(std::size_t o, std::uint16_t v) { std::memcpy(bytes_.data() + o, &v, 2); }
    void Put32(std::size_t o, std::uint32_t v) { std::memcpy(bytes_.data() + o, &v, 4); }
    void Put64(std::size_t o, std::uint64_t v) { std::memcpy(bytes_.data() + o, &v, 8); }

    std::array<std::uint8_t, 1024> bytes_{};
    std::size_t at_ = 0;
};

// One attribute-list entry naming an unnamed $DATA extent.
inline std::vector<std::uint8_t> DataListEntry(std::uint64_t startVcn, std::uint32_t record,
                                               std::uint16_t id) {
    std::vector<std::uint8_t> e(0x20, 0);
    const std::uint32_t type = 0x80;
    const std::uint16_t length = 0x20;
    std::memcpy(e.data(), &type, 4);
    std::memcpy(e.data() + 4, &length, 2);
    e[7] = 0x1A;
    std::memcpy(e.data() + 8, &startVcn, 8);
    const std::uint64_t reference = record;
    std::memcpy(e.data() + 0x10, &reference, 8);
    std::memcpy(e.data() + 0x18, &id, 2);
    return e;
}

}  // namespace tarvik::testing
