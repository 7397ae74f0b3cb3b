#pragma once
// Writing and reading the little-endian values of a kept scan's file.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_view.h"

namespace tarvik {

class ByteSink {
  public:
    explicit ByteSink(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    void Put(std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void U8(std::uint64_t v) { Put(v, 1); }
    void U16(std::uint64_t v) { Put(v, 2); }
    void U32(std::uint64_t v) { Put(v, 4); }
    void U64(std::uint64_t v) { Put(v, 8); }
    void Text(std::string_view text) {
        U32(text.size());
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }
    // Zero bytes up to the next multiple of 8 of the whole file.
    void PadTo8() { bytes_.resize((bytes_.size() + 7) / 8 * 8, 0); }

  private:
    std::vector<std::uint8_t>& bytes_;
};

// Reads values one after another; once a value lies past the end every later read
// fails too, so a caller checks once after a group of reads.
class Cursor {
  public:
    Cursor(ByteView view, std::size_t at) : view_(view), at_(at) {}
    std::uint64_t Get(int width) {
        if (!ok_ || !view_.has(at_, static_cast<std::size_t>(width))) {
            ok_ = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value |= std::uint64_t{view_.data()[at_ + static_cast<std::size_t>(i)]} << (8 * i);
        at_ += static_cast<std::size_t>(width);
        return value;
    }
    std::uint8_t U8() { return static_cast<std::uint8_t>(Get(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Get(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Get(4)); }
    std::uint64_t U64() { return Get(8); }
    std::string Text(std::size_t maxBytes) {
        const std::uint32_t length = U32();
        if (!ok_ || length > maxBytes || !view_.has(at_, length)) {
            ok_ = false;
            return {};
        }
        std::string text(reinterpret_cast<const char*>(view_.data() + at_), length);
        at_ += length;
        return text;
    }
    // A count of items of `itemBytes` each that must all lie in what is left.
    std::size_t Count(std::size_t itemBytes) {
        const std::uint64_t count = U64();
        if (!ok_ || itemBytes == 0 || count > (view_.size() - at_) / itemBytes) {
            ok_ = false;
            return 0;
        }
        return static_cast<std::size_t>(count);
    }
    bool Skip(std::size_t bytes) {
        if (!ok_ || !view_.has(at_, bytes)) return ok_ = false;
        at_ += bytes;
        return true;
    }
    // Skips the bytes up to the next multiple of 8 of the whole file, which must be zero.
    bool SkipPadding() {
        const std::size_t padding = (8 - at_ % 8) % 8;
        if (!ok_ || !view_.has(at_, padding)) return ok_ = false;
        for (std::size_t i = 0; i < padding; ++i)
            if (view_.data()[at_ + i] != 0) return ok_ = false;
        at_ += padding;
        return true;
    }
    bool ok() const { return ok_; }
    std::size_t at() const { return at_; }
    bool AtEnd() const { return at_ == view_.size(); }

  private:
    ByteView view_;
    std::size_t at_;
    bool ok_ = true;
};

// The little-endian value at `bytes`, which the caller has checked lie in the file.
template <typename T>
T LoadLe(const std::uint8_t* bytes) {
    T value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes, sizeof value);
    } else {
        for (std::size_t i = sizeof value; i-- > 0;)
            value = static_cast<T>((value << 8) | bytes[i]);
    }
    return value;
}

}  // namespace tarvik
