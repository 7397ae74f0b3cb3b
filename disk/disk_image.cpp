#include "disk/disk_image.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "disk/sector_reader.h"

namespace tarvik {

namespace {

class RawDiskImage final : public DiskImage {
  public:
    explicit RawDiskImage(int fd) : fd_(fd) {}
    ~RawDiskImage() override { ::close(fd_); }
    RawDiskImage(const RawDiskImage&) = delete;
    RawDiskImage& operator=(const RawDiskImage&) = delete;

    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        return ReadFully(fd_, offset, buffer);
    }
    std::optional<std::uint64_t> Size() override {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return std::nullopt;
        if (S_ISBLK(info.st_mode)) {
            std::uint64_t bytes = 0;
            if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) return std::nullopt;
            return bytes;
        }
        if (S_ISREG(info.st_mode)) return static_cast<std::uint64_t>(info.st_size);
        return std::nullopt;
    }

  private:
    int fd_;
};

}  // namespace

std::unique_ptr<DiskImage> OpenDiskImage(const std::string& path) {
    const ImageFormat format = DetectImageFormatOfFile(path);
    if (format != ImageFormat::kRaw) {
        auto image = OpenLibyalImage(path, format);
        if (!image) errno = ImageFormatBuiltIn(format) ? EIO : ENOTSUP;
        return image;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<RawDiskImage>(fd);
}

}  // namespace tarvik
