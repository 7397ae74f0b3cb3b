// The container formats, each through its libyal library when the build has it. Every
// library is asked to open read-only; a differencing VHD/VHDX opens its parents the
// same way.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/positions.h"
#include "disk/disk_image.h"
#include "disk/qcow_cluster_map.h"

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

#ifdef TARVIK_HAVE_LIBEWF
#if defined(__SANITIZE_ADDRESS__)
#define TARVIK_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVIK_LEAK_CHECKED 1
#endif
#endif
#ifdef TARVIK_LEAK_CHECKED
// The library does not free the buffer it allocates for a chunk it cannot read (one in a
// missing segment): a leak of the library's own, once per such chunk (EwfImage reads no
// bad chunk twice), that the leak checker of a sanitized build is told to pass over. libvshadow
// does the same with a damaged store block (a shadow copy's source bounds how often).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libewf_chunk_data_initialize\n"
           "leak:libvshadow_store_block_initialize\n";
}
#endif
#endif

namespace tarvik {

namespace {

// The libraries read whatever they are asked for, in pieces where they must; the loop
// makes a short piece before the media's end a read of the rest. What a library cannot
// give (a table or a chunk it cannot read or decode) is missing from the image: the read
// ends short there, and the caller's sector-by-sector retry finds what else is left.
template <class ReadPiece>
long long ReadWhole(std::uint64_t offset, std::span<std::uint8_t> buffer, std::uint64_t size,
                    ReadPiece read) {
    if (offset >= size) return 0;
    std::size_t wanted = buffer.size();
    if (wanted > size - offset) wanted = static_cast<std::size_t>(size - offset);
    std::size_t done = 0;
    while (done < wanted) {
        const long long got = read(buffer.data() + done, wanted - done, offset + done);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

#ifdef TARVIK_HAVE_LIBEWF
// An E01 image in its segment files. The library reads a chunk that fails its checksum,
// or lies in a segment that is missing or cut short, as zeros and notes its sectors in
// a list of checksum errors: those sectors are missing, not zeros of the disk.
class EwfImage final : public DiskImage {
  public:
    static std::unique_ptr<DiskImage> Open(const std::string& path) {
        auto image = std::unique_ptr<EwfImage>(new EwfImage);
        // The segment files (E01, E02, ...) beside the first; a first segment whose name
        // follows no scheme is opened alone.
        char** names = nullptr;
        int count = 0;
        if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count,
                        nullptr) == 1) {
            image->handle_ = OpenHandle(names, count);
            libewf_glob_free(names, count, nullptr);
        }
        if (!image->handle_) {
            char* single[] = {const_cast<char*>(path.c_str())};
            image->handle_ = OpenHandle(single, 1);
        }
        if (!image->handle_) return nullptr;
        if (libewf_handle_get_media_size(image->handle_, &image->size_, nullptr) != 1 ||
            libewf_handle_get_bytes_per_sector(image->handle_, &image->sectorBytes_, nullptr) !=
                1 ||
            image->sectorBytes_ == 0)
            return nullptr;
        return image;
    }
    ~EwfImage() override {
        if (handle_) {
            libewf_handle_close(handle_, nullptr);
            libewf_handle_free(&handle_, nullptr);
        }
    }
    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        if (offset >= size_) return 0;
        const std::uint64_t end = offset + std::min<std::uint64_t>(buffer.size(), size_ - offset);
        // Sectors already known to be bad are not asked for again: the library leaks the
        // chunk buffer it allocates for every read of a damaged chunk.
        const std::uint64_t known = FirstBadByte(offset, end);
        const long long got =
            ReadWhole(offset, buffer.first(static_cast<std::size_t>(known - offset)), size_,
                      [this](std::uint8_t* to, std::size_t n, std::uint64_t at) {
                          return static_cast<long long>(libewf_handle_read_random(
                              handle_, to, n, static_cast<off64_t>(at), nullptr));
                      });
        if (got <= 0) return got;
        return static_cast<long long>(FirstBadByte(offset, offset + std::uint64_t(got)) - offset);
    }
    std::optional<std::uint64_t> Size() override { return size_; }

  private:
    EwfImage() = default;

    // A handle opened on the segment files, or nothing. A failed open leaves what it
    // read of the segments in the handle (megabytes of tables): closing frees it.
    static libewf_handle_t* OpenHandle(char* const names[], int count) {
        libewf_handle_t* handle = nullptr;
        if (libewf_handle_initialize(&handle, nullptr) != 1) return nullptr;
        libewf_error_t* error = nullptr;
        if (libewf_handle_open(handle, names, count, LIBEWF_OPEN_READ, &error) == 1) return handle;
        libewf_error_free(&error);
        libewf_handle_close(handle, nullptr);
        libewf_handle_free(&handle, nullptr);
        return nullptr;
    }

    // The first byte in [from, to) of a sector the library noted as failing its
    // checksum; `to` when none did.
    std::uint64_t FirstBadByte(std::uint64_t from, std::uint64_t to) {
        std::uint32_t errors = 0;
        if (libewf_handle_get_number_of_checksum_errors(handle_, &errors, nullptr) != 1) return to;
        std::uint64_t first = to;
        for (std::uint32_t i = 0; i < errors; ++i) {
            std::uint64_t sector = 0;
            std::uint64_t sectors = 0;
            if (libewf_handle_get_checksum_error(handle_, i, &sector, &sectors, nullptr) != 1)
                continue;
            const std::uint64_t begin = CheckedMul(sector, sectorBytes_).value_or(UINT64_MAX);
            const std::uint64_t end =
                CheckedMul(CheckedAdd(sector, sectors).value_or(UINT64_MAX), sectorBytes_)
                    .value_or(UINT64_MAX);
            if (begin < to && end > from) first = std::min(first, std::max(begin, from));
        }
        return first;
    }

    libewf_handle_t* handle_ = nullptr;
    size64_t size_ = 0;
    std::uint32_t sectorBytes_ = 0;
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
// A QCOW image. The library is asked only for clusters the file holds whole: it copies a
// whole cluster out of what it read of one, so a cluster that reaches past the end of a
// cut file would be copied from memory past what was read. Such clusters are missing.
class QcowImage final : public DiskImage {
  public:
    static std::unique_ptr<DiskImage> Open(const std::string& path) {
        auto image = std::unique_ptr<QcowImage>(new QcowImage);
        image->fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (image->fd_ < 0 || ::fstat(image->fd_, &info) != 0) return nullptr;
        image->clusters_ =
            QcowClusterMap::Open(image->fd_, static_cast<std::uint64_t>(info.st_size));
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
        if (fd_ >= 0) ::close(fd_);
    }
    long long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        if (offset >= size_) return 0;
        std::uint64_t wanted = std::min<std::uint64_t>(buffer.size(), size_ - offset);
        if (clusters_) wanted = clusters_->FirstMissingByte(offset, offset + wanted) - offset;
        return ReadWhole(offset, buffer.first(static_cast<std::size_t>(wanted)), size_,
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
    int fd_ = -1;
    // Nothing for a version whose tables the map does not read (the first).
    std::optional<QcowClusterMap> clusters_;
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
