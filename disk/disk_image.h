#pragma once
// An open disk: a block device or raw image read through a read-only descriptor, or an
// image in a container format read through its libyal library (opened read-only too).
// Everything the program reads from a disk comes through one of these.
#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "disk/image_format.h"

namespace tarvik {

class DiskImage {
  public:
    virtual ~DiskImage() = default;
    // Reads up to buffer.size() bytes at a byte offset: the count delivered from the
    // front, or -1 when the read failed (another attempt may do better). Fewer bytes
    // than asked for where the image holds no more: the disk's end, a piece of a split
    // image cut short, a container's chunk that is missing or fails its checksum. The
    // bytes past the count are then not the disk's.
    virtual long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) = 0;
    // The disk's size in bytes: the device's, the raw file's, or the media size the
    // container holds (not the container file's own size).
    virtual std::optional<std::uint64_t> Size() = 0;
};

// What opening a disk gave: the disk, or why it could not be opened.
struct DiskImageOpening {
    std::unique_ptr<DiskImage> image;
    std::string path;
    std::string reason;  // the system's or the image library's words; empty when opened
    int error = 0;       // an errno value for the reason (EIO for a damaged container)

    static DiskImageOpening Opened(std::unique_ptr<DiskImage> image);
    static DiskImageOpening Failed(const std::string& path, std::string reason, int error = EIO);
    // "PATH: REASON", for the user.
    std::string Problem() const { return path + ": " + reason; }
};

// Opens a disk by path, in the format its content shows; a raw NAME.001 with a NAME.002
// beside it is the first piece of a split raw image, read whole. When it cannot be
// opened, also for a format this build cannot read, the opening says why.
DiskImageOpening OpenDiskImage(const std::string& path);

// The pieces of a split raw image, NAME.001, NAME.002, ... in order, given the first;
// empty when `first` does not end in .001. A single .001 is one raw file.
std::vector<std::string> SplitRawPieces(const std::string& first);

// The library readers: the library's reason when it refuses the file, ENOTSUP when the
// library is not built in.
DiskImageOpening OpenLibyalImage(const std::string& path, ImageFormat format);

}  // namespace tarvik
