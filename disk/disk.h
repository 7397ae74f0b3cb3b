#pragma once
// One disk the program can read: a block device or an image file, known by its path and
// its place in the disk table. It is opened read-only once, at the first read or
// question, and stays open while it is held; its size and sector size are taken once.
// Every question about the disk and every read of it goes to this object.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "common/positions.h"
#include "disk/disk_geometry.h"
#include "disk/disk_image.h"

namespace tarvik {

// Safe to use from several threads (a worker scans while the user-interface thread asks
// the disk list): every member holds a mutex, which costs nothing next to a read and
// makes the reopen after a failure whole.
class Disk {
  public:
    // Opens nothing yet. `number` is the disk's place in the disk table, from 0.
    Disk(std::string path, bool isImage, std::size_t number);
    Disk(const Disk&) = delete;
    Disk& operator=(const Disk&) = delete;

    const std::string& path() const { return path_; }
    bool isImage() const { return isImage_; }
    std::size_t number() const { return number_; }
    // The number messages and the Drive Parameters dialog show: 0x80 + the place.
    unsigned code() const { return 0x80u + static_cast<unsigned>(number_); }

    // What one attempt gave.
    enum class Outcome : std::uint8_t {
        kRead,    // every byte asked for
        kShort,   // the disk holds no more there (its end, a piece or chunk missing from
                  // its image): what it held is in front, the rest zeroed; another
                  // attempt would give the same
        kFailed,  // the read failed: the buffer holds nothing to use
    };
    // One attempt: reads buffer.size() bytes at sector x 512, opening the disk first
    // when it is not open. A failed attempt closes the disk, and the next one opens it
    // again: a device that dropped out and came back is read through a fresh descriptor.
    Outcome ReadOnce(DiskSector sector, std::span<std::uint8_t> buffer);
    // Up to three attempts while they fail, no pause and no message. True only when
    // every byte was read; a short read is not tried again (the part not read is
    // zeroed), so a caller that reads sector by sector after a false finds exactly the
    // sectors the disk does not hold, as it finds its bad ones.
    bool Read(DiskSector sector, std::span<std::uint8_t> buffer);
    // That rule over any one attempt (tests count the attempts through it).
    static bool ReadWithRetries(const std::function<Outcome()>& attempt);

    // The disk's size in bytes: the device's, the raw file's, or the media size its
    // container holds. Nothing when it cannot be opened or does not tell.
    std::optional<std::uint64_t> ByteSize();
    // The same in whole 512-byte sectors.
    std::optional<std::uint64_t> SectorCount();
    // Cylinders, heads and sectors per track as the disk list shows them.
    std::optional<DiskGeometry> Geometry();
    // The logical sector size a block device reports (512, or 4096 on a 4Kn disk).
    // Nothing for an image file, whose partition table tells, and when the device
    // cannot be opened.
    std::optional<std::uint32_t> LogicalSectorSize();
    // Why the disk could not be opened at the last try (an errno value and the system's
    // or the image library's words); error 0 when it is open or was never tried.
    int OpenError();
    std::string OpenProblem();

  private:
    bool EnsureOpenLocked();
    void CloseLocked();

    const std::string path_;
    const bool isImage_;
    const std::size_t number_;
    std::mutex mutex_;
    std::unique_ptr<DiskImage> reader_;
    DiskImageOpening failure_;  // of the last try that failed
    std::optional<std::uint64_t> byteSize_;
    std::optional<std::optional<std::uint32_t>> logicalSectorSize_;  // asked once
};

}  // namespace tarvik
