#pragma once
// The one road by which the program reads a disk: a positioned read of a descriptor
// opened read-only. No write path to a disk exists anywhere in the program.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvik {

inline constexpr int kReadAttempts = 3;

// The positioned read every disk read goes through; tests hand in one that fails.
using PreadFunction = ssize_t (*)(int, void*, std::size_t, off_t);

// Reads until the buffer is filled or the device ends: the bytes delivered, or -1 when
// a read failed. A read that fails after part of the request came in fails the whole
// request: handing back the part as a short read would have the caller zero the rest
// as if the device ended there, and a bad sector in the middle of a large request would
// silently cost all the good data after it. The caller retries and then reads sector by
// sector, so that only the sectors that really cannot be read come back as zeros.
long long ReadFully(int fd, std::uint64_t offset, std::span<std::uint8_t> buffer,
                    PreadFunction read = nullptr);  // nullptr: pread(2)

// With TARVIK_READ_TRACE=FILE every read request of a disk is appended to FILE as
// "BYTE_OFFSET LENGTH", one line each, so that the order of the reads (and what a
// spinning disk would make of it) can be measured. Unset, nothing is traced.
void TraceRead(std::uint64_t offset, std::size_t length);

}  // namespace tarvik
