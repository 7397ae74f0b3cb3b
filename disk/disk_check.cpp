#include "disk/disk_check.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "disk/disk_image.h"
#include "disk/image_format.h"
#include "disk/sector_size.h"

namespace tarvik {

namespace {

std::string WithReason(const std::string& path, const std::string& reason) {
    return path + ": " + reason;
}

}  // namespace

std::optional<std::string> DescribeUnusableDisk(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return WithReason(path, std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return WithReason(path, "is a folder, not a disk or image file");
    if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) {
        return WithReason(path, "is not a disk or an image file");
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return WithReason(path, std::strerror(errno));
    std::uint64_t bytes = static_cast<std::uint64_t>(info.st_size);
    if (S_ISBLK(info.st_mode) && ::ioctl(fd, BLKGETSIZE64, &bytes) != 0) bytes = 0;
    std::array<std::uint8_t, kSectorSize> sector{};
    const ssize_t got = bytes >= kSectorSize ? ::pread(fd, sector.data(), sector.size(), 0) : 0;
    const int readError = errno;
    ::close(fd);
    if (bytes == 0) return WithReason(path, "is empty");
    // A container's file may be shorter than a sector (a VMDK descriptor naming its
    // extent files is a few lines of text); its disk's size is the container's to tell.
    const ImageFormat format = DetectImageFormatOfFile(path);
    if (format == ImageFormat::kRaw && bytes < kSectorSize) {
        return WithReason(path, "is shorter than one sector (" + std::to_string(bytes) + " bytes)");
    }
    if (got < 0)
        return WithReason(path, std::string("cannot be read: ") + std::strerror(readError));
    if (!ImageFormatBuiltIn(format)) {
        return WithReason(path, std::string("is a ") + ImageFormatName(format) +
                                    " image, and this build reads no " + ImageFormatName(format) +
                                    " images: convert it to raw (qemu-img convert -O raw, or "
                                    "ewfexport for E01) or rebuild with " +
                                    ImageFormatPackage(format) + " installed");
    }
    if (format != ImageFormat::kRaw) {
        const DiskImageOpening opening = OpenDiskImage(path);
        if (!opening.image)
            return WithReason(path, std::string("is a ") + ImageFormatName(format) +
                                        " image that cannot be opened: " + opening.reason);
    }
    return std::nullopt;
}

int DiskOpenError(const std::string& path) {
    // Only a disk or an image file is opened: opening a FIFO would wait for a writer,
    // and a character device or socket holds no sectors.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno;
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) return ENOTBLK;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

std::optional<std::string> DescribeUnreadableDisks(const std::vector<UnreadableDisk>& disks) {
    if (disks.empty()) return std::nullopt;
    // Disks that fail for the same reason are named together, in table order.
    std::vector<std::pair<int, std::string>> groups;
    bool permission = false;
    for (const UnreadableDisk& disk : disks) {
        permission = permission || disk.error == EACCES || disk.error == EPERM;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.first == disk.error; });
        if (group == groups.end())
            groups.push_back({disk.error, disk.path});
        else
            group->second += ", " + disk.path;
    }
    std::string text = std::to_string(disks.size()) +
                       (disks.size() == 1 ? " disk cannot be read (" : " disks cannot be read (");
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (i > 0) text += "; ";
        text += groups[i].second + ": " +
                (groups[i].first == ENOTBLK ? "not a disk or an image file"
                                            : std::strerror(groups[i].first));
    }
    text += ")";
    if (permission && ::geteuid() != 0) {
        text +=
            ". Run the program as root, or add your user to the 'disk' group "
            "(sudo usermod -aG disk $USER) and log in again";
    } else if (permission) {
        // Root refused: a container or a security policy keeps the device closed.
        text += ". The system refuses access even to root (a container or a security policy)";
    }
    return text + ".";
}

}  // namespace tarvik
