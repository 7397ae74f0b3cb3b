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
    // Reads up to buffer.size() bytes at a byte offset: the count delivered (fewer only
    // where the disk ends), or -1 when the read failed.
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
