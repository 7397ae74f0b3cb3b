#pragma once
// The one road by which the program reads a disk. Every device is opened read-only;
// no write path to a disk exists anywhere in the program.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "common/positions.h"
#include "disk/disk_image.h"
#include "disk/drive_code.h"

namespace tarvik {

// Opens the device behind a drive code read-only; returns a file descriptor or -1.
int OpenDiskDevice(DriveCode code);
// Opens the disk behind a drive code for reading, in its image format (raw, E01, VHD,
// VHDX, VMDK, QCOW2); nothing, with errno set, when it cannot be opened.
std::unique_ptr<DiskImage> OpenDiskReader(DriveCode code);

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

// A disk kept open read-only for as long as a drive (or a whole disk) is being read, so
// that a scan does not open the device (or its image's segment files) once per request.
// A failed attempt closes the disk and the next attempt opens it again, as three
// separate attempts would: a device that dropped out and came back is read through a
// fresh descriptor.
//
// Meant for one worker at a time, but it may be handed from one thread to another
// (made on the user-interface thread, read on a worker): every attempt holds a mutex,
// which costs nothing next to the read and makes the reopen after a failure whole.
class DiskHandle {
  public:
    explicit DiskHandle(DriveCode code) : code_(code) {}
    ~DiskHandle();
    DiskHandle(const DiskHandle&) = delete;
    DiskHandle& operator=(const DiskHandle&) = delete;

    DriveCode code() const { return code_; }

    // What one attempt gave.
    enum class Outcome : std::uint8_t {
        kRead,    // every byte asked for
        kShort,   // the disk holds no more there (its end, a piece or chunk missing from
                  // its image): what it held is in front, the rest zeroed; another
                  // attempt would give the same
        kFailed,  // the read failed: the buffer holds nothing to use
    };
    // One attempt: reads buffer.size() bytes at sector x 512, opening the device first
    // when it is not open. A failed attempt closes the disk.
    Outcome ReadOnce(DiskSector sector, std::span<std::uint8_t> buffer);
    // Up to three attempts while they fail, no pause and no message. True only when
    // every byte was read; a short read is not tried again (the part not read is
    // zeroed), so a caller that reads sector by sector after a false finds exactly the
    // sectors the disk does not hold, as it finds its bad ones.
    bool Read(DiskSector sector, std::span<std::uint8_t> buffer);
    // The disk's size in whole 512-byte sectors (taken once while the disk stays open);
    // nothing when it cannot be opened or does not tell.
    std::optional<std::uint64_t> SectorCount();

  private:
    void CloseLocked();

    const DriveCode code_;
    std::mutex mutex_;
    std::unique_ptr<DiskImage> disk_;
    std::optional<std::uint64_t> sectorCount_;  // of the disk open now
};

// One attempt through a descriptor of its own: open, read byteCount bytes at
// sector x 512, close. True only when every byte was read (the rest zeroed otherwise).
bool ReadSectorsOnce(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh,
                     void* buffer, std::uint32_t byteCount);

using ReadAttempt =
    std::function<bool(DriveCode, std::uint32_t, std::uint32_t, void*, std::uint32_t)>;

// Up to three attempts, no pause and no message; 1 when read, 0 when every attempt failed.
// The sector is given as its low and high 32 bits.
int ReadSectors(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh, void* buffer,
                std::uint32_t byteCount);
// The same rule over any single-attempt reader (tests count the attempts through it).
int ReadSectorsWith(const ReadAttempt& attempt, DriveCode code, std::uint32_t sectorLow,
                    std::uint32_t sectorHigh, void* buffer, std::uint32_t byteCount);

// The same for a caller holding a 64-bit disk sector and a byte span: true when read.
bool ReadSectors(DriveCode code, DiskSector sector, std::span<std::uint8_t> buffer);

}  // namespace tarvik
