#pragma once
// An open disk: a block device or raw image read through a read-only descriptor, or an
// image in a container format read through its libyal library (opened read-only too).
// Everything the program reads from a disk comes through one of these.
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

// Opens a disk by path, in the format its content shows; a raw NAME.001 with a NAME.002
// beside it is the first piece of a split raw image, read whole. Nothing (errno set for a raw
// file or device) when it cannot be opened, also for a format this build cannot read.
std::unique_ptr<DiskImage> OpenDiskImage(const std::string& path);

// The pieces of a split raw image, NAME.001, NAME.002, ... in order, given the first;
// empty when `first` does not end in .001. A single .001 is one raw file.
std::vector<std::string> SplitRawPieces(const std::string& first);

// The library readers; nothing when the library is not built in or refuses the file.
std::unique_ptr<DiskImage> OpenLibyalImage(const std::string& path, ImageFormat format);

}  // namespace tarvik
