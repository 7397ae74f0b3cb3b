#include "session/saved_scan_checksum.h"

#include <bit>
#include <cstring>

namespace tarvik {
namespace {

// A 64-bit checksum of the XXH64 kind: four lanes of multiply-rotate rounds over 8-byte
// words, then an avalanche. It catches any damage a disk or a copy does, at several GB/s;
// SHA-256 here would take longer than the rest of opening a large scan together.
std::uint64_t Rotate(std::uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

// The little-endian 64-bit word at `bytes`.
std::uint64_t Word(const std::uint8_t* bytes) {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    return value;
}

}  // namespace

std::array<std::uint8_t, kSavedScanChecksumBytes> SavedScanChecksum(
    std::span<const std::uint8_t> bytes) {
    constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
    constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
    constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
    constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;
    const auto round = [&](std::uint64_t lane, std::uint64_t input) {
        return Rotate(lane + input * kPrime2, 31) * kPrime1;
    };
    std::uint64_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
    const std::uint8_t* at = bytes.data();
    const std::uint8_t* end = at + bytes.size();
    for (; end - at >= 32; at += 32)
        for (int lane = 0; lane < 4; ++lane) lanes[lane] = round(lanes[lane], Word(at + 8 * lane));
    std::uint64_t hash =
        Rotate(lanes[0], 1) + Rotate(lanes[1], 7) + Rotate(lanes[2], 12) + Rotate(lanes[3], 18);
    for (const std::uint64_t lane : lanes) hash = (hash ^ round(0, lane)) * kPrime1 + kPrime4;
    hash += bytes.size();
    for (; end - at >= 8; at += 8) hash = Rotate(hash ^ round(0, Word(at)), 27) * kPrime1 + kPrime4;
    for (; at < end; ++at) hash = Rotate(hash ^ (*at * 0x27D4EB2F165667C5ULL), 11) * kPrime1;
    hash = (hash ^ (hash >> 33)) * kPrime2;
    hash = (hash ^ (hash >> 29)) * kPrime3;
    hash ^= hash >> 32;
    std::array<std::uint8_t, kSavedScanChecksumBytes> digest{};
    for (std::size_t i = 0; i < 8; ++i) digest[i] = static_cast<std::uint8_t>(hash >> (8 * i));
    return digest;
}

}  // namespace tarvik
