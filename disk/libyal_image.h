#pragma once
// A disk image in a container format, read through its libyal library (libewf, libvhdi,
// libvmdk, libqcow). The four libraries share one shape: an opaque handle that is
// initialized, opened read-only, asked for its media size, read at offsets, closed and
// freed, each call reporting failure through an error object that tells why. One class
// holds that shape; each format only says how its handle is opened (libyal_formats.cpp).
#include <sys/types.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "disk/disk_image.h"

namespace tarvik {

// The handle and error types of every libyal library are opaque pointers of one kind.
using LibyalHandle = std::intptr_t;
using LibyalError = std::intptr_t;

// The calls that differ only by the library's prefix.
struct LibyalCalls {
    const char* library;  // "libewf", ..., for messages
    int (*initialize)(LibyalHandle** handle, LibyalError** error);
    int (*close)(LibyalHandle* handle, LibyalError** error);
    int (*free)(LibyalHandle** handle, LibyalError** error);
    int (*mediaSize)(LibyalHandle* handle, std::uint64_t* size, LibyalError** error);
    ssize_t (*readAt)(LibyalHandle* handle, void* buffer, std::size_t size, std::int64_t offset,
                      LibyalError** error);
    void (*errorFree)(LibyalError** error);
    int (*errorSprint)(LibyalError* error, char* text, std::size_t size);
};

// The library's own words for an error, "libqcow: unsupported format version: 4": the
// innermost reason it gave, which names what it found wrong rather than the call that
// failed. Frees the error.
std::string LibyalErrorText(const LibyalCalls& calls, LibyalError*& error);

class LibyalImage final : public DiskImage {
  public:
    // Opens the handle on what `path` names. `open` opens the image's initialized
    // handle (and whatever files beside it the format needs); it returns why it could
    // not, in the library's words, or nothing when it did.
    using Opener = std::function<std::optional<std::string>(LibyalImage& image)>;
    static DiskImageOpening Open(const LibyalCalls& calls, const std::string& path,
                                 const Opener& open);
    ~LibyalImage() override;
    LibyalImage(const LibyalImage&) = delete;
    LibyalImage& operator=(const LibyalImage&) = delete;

    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override;
    std::optional<std::uint64_t> Size() override { return size_; }

    LibyalHandle* handle() { return handle_; }
    // The first byte in [from, to) that the image does not hold (a chunk that failed
    // its checksum, a cluster past the end of a cut file); `to` when it holds them all.
    // Asked before a read and after it, so a bad chunk the read met ends it too.
    using MissingBytes = std::function<std::uint64_t(std::uint64_t from, std::uint64_t to)>;
    void SetMissingBytes(MissingBytes missing) { missing_ = std::move(missing); }
    // Something the handle reads through and must outlive it (a parent image, the
    // descriptor of a table check).
    void KeepWhileOpen(std::shared_ptr<void> kept) { kept_ = std::move(kept); }

  private:
    explicit LibyalImage(const LibyalCalls& calls) : calls_(calls) {}

    const LibyalCalls& calls_;
    LibyalHandle* handle_ = nullptr;
    std::uint64_t size_ = 0;
    MissingBytes missing_;
    std::shared_ptr<void> kept_;
};

}  // namespace tarvik
