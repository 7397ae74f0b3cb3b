#pragma once
// The one road by which the program reads a disk. Every device is opened read-only;
// no write path to a disk exists anywhere in the program.
#include <cstdint>
#include <functional>
#include <span>

#include "disk/drive_code.h"

namespace tarvik {

// Opens the device behind a drive code read-only; returns a file descriptor or -1.
int OpenDiskDevice(DriveCode code);

// One attempt: open, read byteCount bytes at sector x 512, close. A short read counts
// as success and the part of the buffer it did not fill is zeroed, so no caller ever
// sees bytes left over from an earlier read. Nothing read at all is a failure.
bool ReadSectorsOnce(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh,
                     void* buffer, std::uint32_t byteCount);

using ReadAttempt =
    std::function<bool(DriveCode, std::uint32_t, std::uint32_t, void*, std::uint32_t)>;

inline constexpr int kReadAttempts = 3;

// Up to three attempts, no pause and no message; 1 when read, 0 when every attempt failed.
int ReadSectors(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh, void* buffer,
                std::uint32_t byteCount);
// The same rule over any single-attempt reader (tests count the attempts through it).
int ReadSectorsWith(const ReadAttempt& attempt, DriveCode code, std::uint32_t sectorLow,
                    std::uint32_t sectorHigh, void* buffer, std::uint32_t byteCount);

// Convenience for callers holding a 64-bit sector number and a byte span.
inline bool ReadSectorsAt(DriveCode code, std::uint64_t sector, std::span<std::uint8_t> buffer) {
    return ReadSectors(code, static_cast<std::uint32_t>(sector),
                       static_cast<std::uint32_t>(sector >> 32), buffer.data(),
                       static_cast<std::uint32_t>(buffer.size())) == 1;
}

}  // namespace tarvik
