#include "disk/image_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string_view>

namespace tarvik {

namespace {

bool StartsWith(ByteView bytes, std::size_t offset, std::string_view magic) {
    return bytes.has(offset, magic.size()) &&
           std::memcmp(bytes.data() + offset, magic.data(), magic.size()) == 0;
}

}  // namespace

ImageFormat DetectImageFormat(ByteView head, ByteView tail) {
    using namespace std::string_view_literals;
    // EWF-E01 and EWF-S01 segment headers (EVF); the Lx01 logical form holds files, not
    // a disk, and is not taken.
    if (StartsWith(head, 0, "EVF\x09\x0D\x0A\xFF\x00"sv)) return ImageFormat::kEwf;
    if (StartsWith(head, 0, "vhdxfile"sv)) return ImageFormat::kVhdx;
    // A dynamic or differencing VHD starts with a copy of its footer; a fixed one has
    // only the footer, after the disk's bytes.
    if (StartsWith(head, 0, "conectix"sv) || StartsWith(tail, 0, "conectix"sv))
        return ImageFormat::kVhd;
    if (StartsWith(head, 0, "KDMV"sv) || StartsWith(head, 0, "# Disk DescriptorFile"sv))
        return ImageFormat::kVmdk;
    if (StartsWith(head, 0, "QFI\xFB"sv)) return ImageFormat::kQcow;
    return ImageFormat::kRaw;
}

ImageFormat DetectImageFormatOfFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return ImageFormat::kRaw;
    struct stat info {};
    std::array<std::uint8_t, 512> head{};
    std::array<std::uint8_t, 512> tail{};
    ssize_t headBytes = 0;
    ssize_t tailBytes = 0;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        headBytes = ::pread(fd, head.data(), head.size(), 0);
        if (info.st_size >= 1024)
            tailBytes = ::pread(fd, tail.data(), tail.size(), info.st_size - 512);
    }
    ::close(fd);
    return DetectImageFormat(ByteView(head.data(), headBytes > 0 ? std::size_t(headBytes) : 0),
                             ByteView(tail.data(), tailBytes > 0 ? std::size_t(tailBytes) : 0));
}

const char* ImageFormatModel(ImageFormat format) {
    switch (format) {
        case ImageFormat::kEwf:
            return "E01 IMAGE";
        case ImageFormat::kVhd:
            return "VHD IMAGE";
        case ImageFormat::kVhdx:
            return "VHDX IMAGE";
        case ImageFormat::kVmdk:
            return "VMDK IMAGE";
        case ImageFormat::kQcow:
            return "QCOW2 IMAGE";
        case ImageFormat::kRaw:
            break;
    }
    return "DISK IMAGE";
}

const char* ImageFormatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::kEwf:
            return "E01";
        case ImageFormat::kVhd:
            return "VHD";
        case ImageFormat::kVhdx:
            return "VHDX";
        case ImageFormat::kVmdk:
            return "VMDK";
        case ImageFormat::kQcow:
            return "QCOW2";
        case ImageFormat::kRaw:
            break;
    }
    return "raw";
}

bool ImageFormatBuiltIn(ImageFormat format) {
    switch (format) {
        case ImageFormat::kRaw:
            return true;
        case ImageFormat::kEwf:
#ifdef TARVIK_HAVE_LIBEWF
            return true;
#else
            return false;
#endif
        case ImageFormat::kVhd:
        case ImageFormat::kVhdx:
#ifdef TARVIK_HAVE_LIBVHDI
            return true;
#else
            return false;
#endif
        case ImageFormat::kVmdk:
#ifdef TARVIK_HAVE_LIBVMDK
            return true;
#else
            return false;
#endif
        case ImageFormat::kQcow:
#ifdef TARVIK_HAVE_LIBQCOW
            return true;
#else
            return false;
#endif
    }
    return false;
}

const char* ImageFormatPackage(ImageFormat format) {
    switch (format) {
        case ImageFormat::kEwf:
            return "libewf-dev";
        case ImageFormat::kVhd:
        case ImageFormat::kVhdx:
            return "libvhdi-dev";
        case ImageFormat::kVmdk:
            return "libvmdk-dev";
        case ImageFormat::kQcow:
            return "libqcow-dev";
        case ImageFormat::kRaw:
            break;
    }
    return "";
}

}  // namespace tarvik
