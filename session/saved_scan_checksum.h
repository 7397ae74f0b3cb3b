#pragma once
// The checksum of a kept scan's bytes after its header.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvik {

inline constexpr std::size_t kSavedScanChecksumBytes = 32;

// 8 bytes of hash, then zeros: room for a longer one in the header.
std::array<std::uint8_t, kSavedScanChecksumBytes> SavedScanChecksum(
    std::span<const std::uint8_t> bytes);

}  // namespace tarvik
