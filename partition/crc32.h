#pragma once
// The CRC-32 a GUID partition table guards its header and entry array with (the
// reflected IEEE polynomial 0xEDB88320, initial value and final XOR all ones).
#include <cstdint>
#include <span>

namespace tarvik {

std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

}  // namespace tarvik
