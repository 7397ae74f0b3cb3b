#pragma once
// A bounds-checked window over bytes read from disk. Every reader of an on-disk
// structure goes through it, so a field that lies past the end of what was read is
// reported as missing instead of being read out of bounds.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tarvik {

class ByteView {
  public:
    ByteView() = default;
    explicit ByteView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    ByteView(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    std::size_t size() const { return bytes_.size(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::span<const std::uint8_t> span() const { return bytes_; }

    // True when [offset, offset + length) lies inside the view, without overflow.
    bool has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    // A sub-view, or an empty view when the range does not fit.
    ByteView sub(std::size_t offset, std::size_t length) const {
        return has(offset, length) ? ByteView(bytes_.subspan(offset, length)) : ByteView();
    }

    std::optional<std::uint8_t> u8(std::size_t offset) const {
        if (!has(offset, 1)) return std::nullopt;
        return bytes_[offset];
    }
    std::optional<std::uint16_t> u16(std::size_t offset) const {
        if (!has(offset, 2)) return std::nullopt;
        return Le16(bytes_.data() + offset);
    }
    std::optional<std::uint32_t> u32(std::size_t offset) const {
        if (!has(offset, 4)) return std::nullopt;
        return Le32(bytes_.data() + offset);
    }
    std::optional<std::uint64_t> u64(std::size_t offset) const {
        if (!has(offset, 8)) return std::nullopt;
        return Le64(bytes_.data() + offset);
    }
    // An unsigned little-endian value of 1 to 8 bytes (run lists store such widths).
    std::optional<std::uint64_t> uN(std::size_t offset, std::size_t width) const {
        if (width == 0 || width > 8 || !has(offset, width)) return std::nullopt;
        return LoadLe(offset, width);
    }

  private:
    // Written byte by byte so that they read little-endian on any host; compilers turn
    // each into a single load where the host is little-endian, which matters to readers
    // that run over every record of a large MFT.
    static std::uint16_t Le16(const std::uint8_t* p) {
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    static std::uint32_t Le32(const std::uint8_t* p) {
        return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
               (std::uint32_t{p[3]} << 24);
    }
    static std::uint64_t Le64(const std::uint8_t* p) {
        return std::uint64_t{Le32(p)} | (std::uint64_t{Le32(p + 4)} << 32);
    }
    std::uint64_t LoadLe(std::size_t offset, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes_[offset + i];
        return value;
    }

    std::span<const std::uint8_t> bytes_;
};

}  // namespace tarvik
