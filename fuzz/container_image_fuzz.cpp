// An arbitrary file read as the container its content names (E01, VHD, VHDX, VMDK,
// QCOW2) through the library readers the program uses: opening it and reading at its
// start, middle and end stays within bounds and ends, whatever its tables claim.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "disk/disk_image.h"
#include "disk/image_format.h"

namespace {

// One file in a folder of its own, so that names a container gives (a parent disk, an
// extent file) are looked for there and find nothing else. It is named as imaging tools
// name the format (E01 segments are found by their names).
std::string ImagePath(tarvik::ImageFormat format) {
    static const std::string folder = [] {
        char name[] = "/tmp/tarvik-container-fuzz-XXXXXX";
        if (::mkdtemp(name) == nullptr) std::abort();
        return std::string(name);
    }();
    return folder + "/image." + tarvik::ImageFormatName(format);
}

bool WriteImage(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = ::write(fd, data + done, size - done);
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
    }
    ::close(fd);
    return done == size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarvik::ByteView head(data, size < 512 ? size : 512);
    const tarvik::ByteView tail(size >= 1024 ? data + size - 512 : data, size >= 1024 ? 512 : 0);
    const tarvik::ImageFormat format = tarvik::DetectImageFormat(head, tail);
    if (format == tarvik::ImageFormat::kRaw) return 0;
    const std::string path = ImagePath(format);
    if (!WriteImage(path, data, size)) return 0;
    const auto image = tarvik::OpenLibyalImage(path, format).image;
    if (!image) return 0;
    const std::uint64_t media = image->Size().value_or(0);
    std::vector<std::uint8_t> buffer(64 << 10);
    for (const std::uint64_t at :
         {std::uint64_t{0}, media / 2, media > 65536 ? media - 65536 : 0}) {
        image->ReadAt(at, buffer);
    }
    return 0;
}
