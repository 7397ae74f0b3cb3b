#pragma once
// SHA-256 of the bytes a recovery wrote, for its report.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tarvik {

class Sha256 {
  public:
    Sha256();
    void Update(std::span<const std::uint8_t> bytes);
    // The digest as 64 lowercase hex digits; the object is spent afterwards.
    std::string HexDigest();

  private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace tarvik
