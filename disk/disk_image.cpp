#include "disk/disk_image.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

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

// A raw image cut into pieces named NAME.001, NAME.002, ... (as split and imaging tools
// write them), read as one disk in name order. Every piece is held open read-only.
// Every piece but the last is as long as the first: one shorter than that was cut
// short, and the disk's bytes it lacks are missing (the pieces after it still hold the
// bytes at their own places, not moved up into the gap).
class SplitRawImage final : public DiskImage {
  public:
    // Nothing when `first` is not a .001 piece with a .002 beside it.
    static std::unique_ptr<DiskImage> Open(const std::string& first) {
        const std::vector<std::string> names = SplitRawPieces(first);
        if (names.size() < 2) return nullptr;
        auto image = std::unique_ptr<SplitRawImage>(new SplitRawImage);
        std::uint64_t pieceSize = 0;
        for (const std::string& name : names) {
            const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return nullptr;
            image->pieces_.push_back(std::make_unique<RawDiskImage>(fd));
            const auto size = image->pieces_.back()->Size();
            if (!size) return nullptr;
            if (image->starts_.empty()) pieceSize = *size;
            image->starts_.push_back(image->size_);
            image->lengths_.push_back(*size);
            // A piece longer than the first: the pieces are not of one size, and each
            // is taken as it is.
            image->size_ += std::max(*size, pieceSize);
        }
        // The last piece ends the disk where it ends.
        image->size_ = image->starts_.back() + image->lengths_.back();
        return image;
    }

    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        std::size_t done = 0;
        while (done < buffer.size() && offset + done < size_) {
            const std::uint64_t at = offset + done;
            std::size_t piece = starts_.size() - 1;
            while (starts_[piece] > at) --piece;
            const std::uint64_t inPiece = at - starts_[piece];
            if (inPiece >= lengths_[piece]) break;  // in the part a cut piece lacks
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(buffer.size() - done, lengths_[piece] - inPiece));
            const long long got = pieces_[piece]->ReadAt(inPiece, buffer.subspan(done, want));
            if (got < 0) return -1;
            if (got == 0) break;
            done += static_cast<std::size_t>(got);
        }
        return static_cast<long long>(done);
    }
    std::optional<std::uint64_t> Size() override { return size_; }

  private:
    SplitRawImage() = default;
    std::vector<std::unique_ptr<RawDiskImage>> pieces_;
    std::vector<std::uint64_t> starts_;   // where each piece's bytes belong on the disk
    std::vector<std::uint64_t> lengths_;  // what each piece holds
    std::uint64_t size_ = 0;
};

}  // namespace

std::vector<std::string> SplitRawPieces(const std::string& first) {
    constexpr std::string_view kFirstSuffix = ".001";
    if (first.size() <= kFirstSuffix.size() ||
        first.compare(first.size() - kFirstSuffix.size(), kFirstSuffix.size(), kFirstSuffix) != 0)
        return {};
    const std::string stem = first.substr(0, first.size() - kFirstSuffix.size());
    std::vector<std::string> names;
    for (unsigned n = 1; n <= 999; ++n) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, ".%03u", n);
        std::error_code error;
        if (!std::filesystem::is_regular_file(stem + suffix, error)) break;
        names.push_back(stem + suffix);
    }
    return names;
}

DiskImageOpening DiskImageOpening::Opened(std::unique_ptr<DiskImage> image) {
    DiskImageOpening opening;
    opening.image = std::move(image);
    return opening;
}

DiskImageOpening DiskImageOpening::Failed(const std::string& path, std::string reason, int error) {
    DiskImageOpening opening;
    opening.path = path;
    opening.reason = std::move(reason);
    opening.error = error;
    return opening;
}

DiskImageOpening OpenDiskImage(const std::string& path) {
    const ImageFormat format = DetectImageFormatOfFile(path);
    if (format != ImageFormat::kRaw) return OpenLibyalImage(path, format);
    if (SplitRawPieces(path).size() >= 2) {
        if (auto image = SplitRawImage::Open(path))
            return DiskImageOpening::Opened(std::move(image));
        return DiskImageOpening::Failed(path, "a piece of the split image cannot be read");
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return DiskImageOpening::Failed(path, std::strerror(errno), errno);
    return DiskImageOpening::Opened(std::make_unique<RawDiskImage>(fd));
}

}  // namespace tarvik
