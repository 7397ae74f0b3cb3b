// The container formats, each through its libyal library when the build has it. Every
// library is asked to open read-only; a differencing VHD/VHDX opens its parents the
// same way.
#include <filesystem>
#include <string>
#include <vector>

#include "disk/disk_image.h"

#ifdef TARVIK_HAVE_LIBEWF
#include <libewf.h>
#endif
#ifdef TARVIK_HAVE_LIBVHDI
#include <libvhdi.h>
#endif
#ifdef TARVIK_HAVE_LIBVMDK
#include <libvmdk.h>
#endif
#ifdef TARVIK_HAVE_LIBQCOW
#include <libqcow.h>
#endif

namespace tarvik {

namespace {

// The libraries read whatever they are asked for, in pieces where they must; the loop
// makes a short piece before the media's end a read of the rest.
template <class ReadPiece>
long long ReadWhole(std::uint64_t offset, std::span<std::uint8_t> buffer, std::uint64_t size,
                    ReadPiece read) {
    if (offset >= size) return 0;
    std::size_t wanted = buffer.size();
    if (wanted > size - offset) wanted = static_cast<std::size_t>(size - offset);
    std::size_t done = 0;
    while (done < wanted) {
        const long long got = read(buffer.data() + done, wanted - done, offset + done);
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

#ifdef TARVIK_HAVE_LIBEWF
class EwfImage final : public DiskImage {
  public:
    static std::unique_ptr<DiskImage> Open(const std::string& path) {
        auto image = std::unique_ptr<EwfImage>(new EwfImage);
        libewf_error_t* error = nullptr;
        if (libewf_handle_initialize(&image->handle_, &error) != 1) return Fail(error);
        // The segment files (E01, E02, ...) beside the first; a first segment whose name
        // follows no scheme is opened alone.
        char** names = nullptr;
        int count = 0;
        int opened = -1;
        if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &error) ==
            1) {
            opened = libewf_handle_open(image->handle_, names, count, LIBEWF_OPEN_READ, &error);
            libewf_glob_free(names, count, nullptr);
        }
        if (opened != 1) {
            libewf_error_free(&error);
            char* single[] = {const_cast<char*>(path.c_str())};
            opened = libewf_handle_open(image->handle_, single, 1, LIBEWF_OPEN_READ, &error);
        }
        if (opened != 1) return Fail(error);
        if (libewf_handle_get_media_size(image->handle_, &image->size_, &error) != 1)
            return Fail(error);
        return image;
    }
    ~EwfImage() override {
        if (handle_) {
            libewf_handle_close(handle_, nullptr);
            libewf_handle_free(&handle_, nullptr);
        }
    }
    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        return ReadWhole(
            offset, buffer, size_, [this](std::uint8_t* to, std::size_t n, std::uint64_t at) {
                return static_cast<long long>(
                    libewf_handle_read_random(handle_, to, n, static_cast<off64_t>(at), nullptr));
            });
    }
    std::optional<std::uint64_t> Size() override { return size_; }

  private:
    EwfImage() = default;
    static std::unique_ptr<DiskImage> Fail(libewf_error_t* error) {
        libewf_error_free(&error);
        return nullptr;
    }
    libewf_handle_t* handle_ = nullptr;
    size64_t size_ = 0;
};
#endif

#ifdef TARVIK_HAVE_LIBVHDI
class VhdiImage final : public DiskImage {
  public:
    // A differencing disk names its parent; chains deeper than this are damage.
    static constexpr int kMaxParents = 32;

    static std::unique_ptr<VhdiImage> Open(const std::string& path, int depth = 0) {
        auto image = std::unique_ptr<VhdiImage>(new VhdiImage);
        if (libvhdi_file_initialize(&image->file_, nullptr) != 1) return nullptr;
        if (libvhdi_file_open(image->file_, path.c_str(), LIBVHDI_OPEN_READ, nullptr) != 1)
            return nullptr;
        std::uint32_t diskType = 0;
        if (libvhdi_file_get_disk_type(image->file_, &diskType, nullptr) == 1 &&
            diskType == LIBVHDI_DISK_TYPE_DIFFERENTIAL) {
            if (depth >= kMaxParents) return nullptr;
            const auto parentPath = ParentPath(image->file_, path);
            if (!parentPath) return nullptr;
            image->parent_ = Open(*parentPath, depth + 1);
            if (!image->parent_ ||
                libvhdi_file_set_parent_file(image->file_, image->parent_->file_, nullptr) != 1)
                return nullptr;
        }
        if (libvhdi_file_get_media_size(image->file_, &image->size_, nullptr) != 1) return nullptr;
        return image;
    }
    ~VhdiImage() override {
        if (file_) {
            libvhdi_file_close(file_, nullptr);
            libvhdi_file_free(&file_, nullptr);
        }
    }
    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        return ReadWhole(offset, buffer, size_,
                         [this](std::uint8_t* to, std::size_t n, std::uint64_t at) {
                             return static_cast<long long>(libvhdi_file_read_buffer_at_offset(
                                 file_, to, n, static_cast<off64_t>(at), nullptr));
                         });
    }
    std::optional<std::uint64_t> Size() override { return size_; }

  private:
    VhdiImage() = default;

    // The parent as stored (often a Windows path) is looked for by its file name beside
    // the child, then as written.
    static std::optional<std::string> ParentPath(libvhdi_file_t* file, const std::string& child) {
        std::size_t size = 0;
        if (libvhdi_file_get_utf8_parent_filename_size(file, &size, nullptr) != 1 || size == 0)
            return std::nullopt;
        std::vector<std::uint8_t> name(size);
        if (libvhdi_file_get_utf8_parent_filename(file, name.data(), size, nullptr) != 1)
            return std::nullopt;
        std::string stored(reinterpret_cast<const char*>(name.data()));
        const std::size_t slash = stored.find_last_of("\\/");
        const std::string base = slash == std::string::npos ? stored : stored.substr(slash + 1);
        const auto beside = std::filesystem::path(child).parent_path() / base;
        std::error_code ignored;
        if (std::filesystem::exists(beside, ignored)) return beside.string();
        if (std::filesystem::exists(stored, ignored)) return stored;
        return std::nullopt;
    }

    libvhdi_file_t* file_ = nullptr;
    std::unique_ptr<VhdiImage> parent_;
    size64_t size_ = 0;
};
#endif

#ifdef TARVIK_HAVE_LIBVMDK
class VmdkImage final : public DiskImage {
  public:
    static std::unique_ptr<DiskImage> Open(const std::string& path) {
        auto image = std::unique_ptr<VmdkImage>(new VmdkImage);
        if (libvmdk_handle_initialize(&image->handle_, nullptr) != 1) return nullptr;
        if (libvmdk_handle_open(image->handle_, path.c_str(), LIBVMDK_OPEN_READ, nullptr) != 1)
            return nullptr;
        // A descriptor names its extent files, looked for beside it.
        if (libvmdk_handle_open_extent_data_files(image->handle_, nullptr) != 1) return nullptr;
        if (libvmdk_handle_get_media_size(image->handle_, &image->size_, nullptr) != 1)
            return nullptr;
        return image;
    }
    ~VmdkImage() override {
        if (handle_) {
            libvmdk_handle_close(handle_, nullptr);
            libvmdk_handle_free(&handle_, nullptr);
        }
    }
    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        return ReadWhole(offset, buffer, size_,
                         [this](std::uint8_t* to, std::size_t n, std::uint64_t at) {
                             return static_cast<long long>(libvmdk_handle_read_buffer_at_offset(
                                 handle_, to, n, static_cast<off64_t>(at), nullptr));
                         });
    }
    std::optional<std::uint64_t> Size() override { return size_; }

  private:
    VmdkImage() = default;
    libvmdk_handle_t* handle_ = nullptr;
    size64_t size_ = 0;
};
#endif

#ifdef TARVIK_HAVE_LIBQCOW
class QcowImage final : public DiskImage {
  public:
    static std::unique_ptr<DiskImage> Open(const std::string& path) {
        auto image = std::unique_ptr<QcowImage>(new QcowImage);
        if (libqcow_file_initialize(&image->file_, nullptr) != 1) return nullptr;
        if (libqcow_file_open(image->file_, path.c_str(), LIBQCOW_OPEN_READ, nullptr) != 1)
            return nullptr;
        if (libqcow_file_get_media_size(image->file_, &image->size_, nullptr) != 1) return nullptr;
        return image;
    }
    ~QcowImage() override {
        if (file_) {
            libqcow_file_close(file_, nullptr);
            libqcow_file_free(&file_, nullptr);
        }
    }
    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        return ReadWhole(offset, buffer, size_,
                         [this](std::uint8_t* to, std::size_t n, std::uint64_t at) {
                             return static_cast<long long>(libqcow_file_read_buffer_at_offset(
                                 file_, to, n, static_cast<off64_t>(at), nullptr));
                         });
    }
    std::optional<std::uint64_t> Size() override { return size_; }

  private:
    QcowImage() = default;
    libqcow_file_t* file_ = nullptr;
    size64_t size_ = 0;
};
#endif

}  // namespace

std::unique_ptr<DiskImage> OpenLibyalImage([[maybe_unused]] const std::string& path,
                                           ImageFormat format) {
    switch (format) {
#ifdef TARVIK_HAVE_LIBEWF
        case ImageFormat::kEwf:
            return EwfImage::Open(path);
#endif
#ifdef TARVIK_HAVE_LIBVHDI
        case ImageFormat::kVhd:
        case ImageFormat::kVhdx:
            return VhdiImage::Open(path);
#endif
#ifdef TARVIK_HAVE_LIBVMDK
        case ImageFormat::kVmdk:
            return VmdkImage::Open(path);
#endif
#ifdef TARVIK_HAVE_LIBQCOW
        case ImageFormat::kQcow:
            return QcowImage::Open(path);
#endif
        default:
            return nullptr;
    }
}

}  // namespace tarvik
