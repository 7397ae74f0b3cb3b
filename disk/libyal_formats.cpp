// The container formats, each through its libyal library when the build has it. Every
// library is asked to open read-only; a differencing VHD/VHDX opens its parents the
// same way.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/positions.h"
#include "disk/libyal_image.h"
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
// missing segment): a leak of the library's own, once per such chunk (an E01 image reads
// no bad chunk twice), that the leak checker of a sanitized build is told to pass over.
// libvshadow does the same with a damaged store block (a shadow copy's source bounds how
// often).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libewf_chunk_data_initialize\n"
           "leak:libvshadow_store_block_initialize\n";
}
#endif
#endif

namespace tarvik {

namespace {

#ifdef TARVIK_HAVE_LIBEWF
const LibyalCalls kEwf{"libewf",           libewf_handle_initialize,     libewf_handle_close,
                       libewf_handle_free, libewf_handle_get_media_size, libewf_handle_read_random,
                       libewf_error_free,  libewf_error_backtrace_sprint};

// The first byte in [from, to) of a sector the library noted as failing its checksum (a
// chunk that fails it, or lies in a segment that is missing or cut short, reads as
// zeros): `to` when none did. Those sectors are missing, not zeros of the disk.
std::uint64_t FirstBadEwfByte(LibyalHandle* handle, std::uint32_t sectorBytes, std::uint64_t from,
                              std::uint64_t to) {
    std::uint32_t errors = 0;
    if (libewf_handle_get_number_of_checksum_errors(handle, &errors, nullptr) != 1) return to;
    std::uint64_t first = to;
    for (std::uint32_t i = 0; i < errors; ++i) {
        std::uint64_t sector = 0;
        std::uint64_t sectors = 0;
        if (libewf_handle_get_checksum_error(handle, i, &sector, &sectors, nullptr) != 1) continue;
        const std::uint64_t begin = CheckedMul(sector, sectorBytes).value_or(UINT64_MAX);
        const std::uint64_t end =
            CheckedMul(CheckedAdd(sector, sectors).value_or(UINT64_MAX), sectorBytes)
                .value_or(UINT64_MAX);
        if (begin < to && end > from) first = std::min(first, std::max(begin, from));
    }
    return first;
}

// An E01 image in its segment files (E01, E02, ... beside the first); a first segment
// whose name follows no scheme is opened alone.
DiskImageOpening OpenEwf(const std::string& path) {
    const auto open = [&path](LibyalImage& image) -> std::optional<std::string> {
        LibyalHandle* handle = image.handle();
        char** names = nullptr;
        int count = 0;
        LibyalError* error = nullptr;
        if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count,
                        nullptr) == 1) {
            const int opened = libewf_handle_open(handle, names, count, LIBEWF_OPEN_READ, &error);
            libewf_glob_free(names, count, nullptr);
            if (opened == 1) return std::nullopt;
            libewf_error_free(&error);
            // A failed open keeps what it read of the segments until the handle closes.
            libewf_handle_close(handle, nullptr);
        }
        char* single[] = {const_cast<char*>(path.c_str())};
        if (libewf_handle_open(handle, single, 1, LIBEWF_OPEN_READ, &error) == 1)
            return std::nullopt;
        return LibyalErrorText(kEwf, error);
    };
    DiskImageOpening opening = LibyalImage::Open(kEwf, path, open);
    if (!opening.image) return opening;
    auto& image = static_cast<LibyalImage&>(*opening.image);
    std::uint32_t sectorBytes = 0;
    LibyalError* error = nullptr;
    if (libewf_handle_get_bytes_per_sector(image.handle(), &sectorBytes, &error) != 1)
        return DiskImageOpening::Failed(path, LibyalErrorText(kEwf, error));
    if (sectorBytes == 0) return DiskImageOpening::Failed(path, "libewf: no bytes per sector");
    // Sectors already known to be bad are not asked for again: the library leaks the
    // chunk buffer it allocates for every read of a damaged chunk.
    image.SetMissingBytes(
        [handle = image.handle(), sectorBytes](std::uint64_t from, std::uint64_t to) {
            return FirstBadEwfByte(handle, sectorBytes, from, to);
        });
    return opening;
}
#endif

#ifdef TARVIK_HAVE_LIBVHDI
const LibyalCalls kVhdi{
    "libvhdi",          libvhdi_file_initialize,       libvhdi_file_close,
    libvhdi_file_free,  libvhdi_file_get_media_size,   libvhdi_file_read_buffer_at_offset,
    libvhdi_error_free, libvhdi_error_backtrace_sprint};

// A differencing disk names its parent; chains deeper than this are damage.
constexpr int kMaxVhdParents = 32;

// The parent as stored (often a Windows path) is looked for by its file name beside the
// child, then as written.
std::optional<std::string> VhdParentPath(LibyalHandle* file, const std::string& child,
                                         std::string& stored) {
    std::size_t size = 0;
    if (libvhdi_file_get_utf8_parent_filename_size(file, &size, nullptr) != 1 || size == 0)
        return std::nullopt;
    std::vector<std::uint8_t> name(size);
    if (libvhdi_file_get_utf8_parent_filename(file, name.data(), size, nullptr) != 1)
        return std::nullopt;
    stored = reinterpret_cast<const char*>(name.data());
    const std::size_t slash = stored.find_last_of("\\/");
    const std::string base = slash == std::string::npos ? stored : stored.substr(slash + 1);
    const auto beside = std::filesystem::path(child).parent_path() / base;
    std::error_code ignored;
    if (std::filesystem::exists(beside, ignored)) return beside.string();
    if (std::filesystem::exists(stored, ignored)) return stored;
    return std::nullopt;
}

DiskImageOpening OpenVhdi(const std::string& path, int depth = 0);

// Opens the parent of a differencing disk and reads the child over it; why not when it
// cannot.
std::optional<std::string> AttachVhdParent(LibyalImage& child, const std::string& path, int depth) {
    if (depth >= kMaxVhdParents) return "differencing disks nested deeper than 32 parents";
    std::string stored;
    const auto parentPath = VhdParentPath(child.handle(), path, stored);
    if (!parentPath)
        return "parent file missing: " + stored + " (looked for beside it and where it names)";
    DiskImageOpening parent = OpenVhdi(*parentPath, depth + 1);
    if (!parent.image) return "its parent disk cannot be opened: " + parent.Problem();
    auto& parentImage = static_cast<LibyalImage&>(*parent.image);
    LibyalError* error = nullptr;
    if (libvhdi_file_set_parent_file(child.handle(), parentImage.handle(), &error) != 1)
        return LibyalErrorText(kVhdi, error);
    child.KeepWhileOpen(std::shared_ptr<DiskImage>(std::move(parent.image)));
    return std::nullopt;
}

DiskImageOpening OpenVhdi(const std::string& path, int depth) {
    // The media size is taken after the parent is set.
    const auto open = [&](LibyalImage& image) -> std::optional<std::string> {
        LibyalHandle* handle = image.handle();
        LibyalError* error = nullptr;
        if (libvhdi_file_open(handle, path.c_str(), LIBVHDI_OPEN_READ, &error) != 1)
            return LibyalErrorText(kVhdi, error);
        std::uint32_t diskType = 0;
        if (libvhdi_file_get_disk_type(handle, &diskType, nullptr) != 1 ||
            diskType != LIBVHDI_DISK_TYPE_DIFFERENTIAL)
            return std::nullopt;
        return AttachVhdParent(image, path, depth);
    };
    return LibyalImage::Open(kVhdi, path, open);
}
#endif

#ifdef TARVIK_HAVE_LIBVMDK
const LibyalCalls kVmdk{
    "libvmdk",           libvmdk_handle_initialize,     libvmdk_handle_close,
    libvmdk_handle_free, libvmdk_handle_get_media_size, libvmdk_handle_read_buffer_at_offset,
    libvmdk_error_free,  libvmdk_error_backtrace_sprint};

DiskImageOpening OpenVmdk(const std::string& path) {
    return LibyalImage::Open(
        kVmdk, path, [&path](LibyalImage& image) -> std::optional<std::string> {
            LibyalHandle* handle = image.handle();
            LibyalError* error = nullptr;
            if (libvmdk_handle_open(handle, path.c_str(), LIBVMDK_OPEN_READ, &error) != 1)
                return LibyalErrorText(kVmdk, error);
            // A descriptor names its extent files, looked for beside it.
            if (libvmdk_handle_open_extent_data_files(handle, &error) != 1)
                return LibyalErrorText(kVmdk, error);
            return std::nullopt;
        });
}
#endif

#ifdef TARVIK_HAVE_LIBQCOW
const LibyalCalls kQcow{
    "libqcow",          libqcow_file_initialize,       libqcow_file_close,
    libqcow_file_free,  libqcow_file_get_media_size,   libqcow_file_read_buffer_at_offset,
    libqcow_error_free, libqcow_error_backtrace_sprint};

// Closes the descriptor the cluster map reads through, after the image is closed.
struct OwnedDescriptor {
    int fd = -1;
    ~OwnedDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// A QCOW image. The library is asked only for clusters the file holds whole: it copies
// a whole cluster out of what it read of one, so a cluster that reaches past the end of a
// cut file would be copied from memory past what was read. Such clusters are missing.
DiskImageOpening OpenQcow(const std::string& path) {
    auto descriptor = std::make_shared<OwnedDescriptor>();
    descriptor->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (descriptor->fd < 0 || ::fstat(descriptor->fd, &info) != 0)
        return DiskImageOpening::Failed(path, std::strerror(errno), errno);
    DiskImageOpening opening =
        LibyalImage::Open(kQcow, path, [&path](LibyalImage& image) -> std::optional<std::string> {
            LibyalError* error = nullptr;
            if (libqcow_file_open(image.handle(), path.c_str(), LIBQCOW_OPEN_READ, &error) != 1)
                return LibyalErrorText(kQcow, error);
            return std::nullopt;
        });
    if (!opening.image) return opening;
    auto& image = static_cast<LibyalImage&>(*opening.image);
    // Nothing for a version whose tables the map does not read (the first).
    auto clusters = QcowClusterMap::Open(descriptor->fd, static_cast<std::uint64_t>(info.st_size));
    if (clusters) {
        image.SetMissingBytes([map = *clusters](std::uint64_t from, std::uint64_t to) {
            return map.FirstMissingByte(from, to);
        });
    }
    image.KeepWhileOpen(descriptor);
    return opening;
}
#endif

}  // namespace

DiskImageOpening OpenLibyalImage(const std::string& path, ImageFormat format) {
    switch (format) {
#ifdef TARVIK_HAVE_LIBEWF
        case ImageFormat::kEwf:
            return OpenEwf(path);
#endif
#ifdef TARVIK_HAVE_LIBVHDI
        case ImageFormat::kVhd:
        case ImageFormat::kVhdx:
            return OpenVhdi(path);
#endif
#ifdef TARVIK_HAVE_LIBVMDK
        case ImageFormat::kVmdk:
            return OpenVmdk(path);
#endif
#ifdef TARVIK_HAVE_LIBQCOW
        case ImageFormat::kQcow:
            return OpenQcow(path);
#endif
        default:
            return DiskImageOpening::Failed(
                path, std::string("this build reads no ") + ImageFormatName(format) + " images",
                ENOTSUP);
    }
}

}  // namespace tarvik
