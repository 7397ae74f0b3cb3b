#include "disk/disk_geometry.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "disk/sector_reader.h"

namespace tarvik {

bool CountPhysicalDisks(std::uint8_t& count) {
    count = 0;
    while (count < 0x7F) {
        const int fd = OpenDiskDevice(PhysicalDiskCode(count));
        if (fd < 0) break;
        ::close(fd);
        ++count;
    }
    return count != 0;
}

std::optional<std::uint64_t> DiskByteSize(DriveCode code) {
    const auto disk = OpenDiskReader(code);
    if (!disk) return std::nullopt;
    return disk->Size();
}

std::optional<std::uint32_t> DeviceLogicalSectorSize(DriveCode code) {
    const int fd = OpenDiskDevice(code);
    if (fd < 0) return std::nullopt;
    std::optional<std::uint32_t> size;
    struct stat info {};
    int bytes = 0;
    if (::fstat(fd, &info) == 0 && S_ISBLK(info.st_mode) && ::ioctl(fd, BLKSSZGET, &bytes) == 0 &&
        bytes >= 512)
        size = static_cast<std::uint32_t>(bytes);
    ::close(fd);
    return size;
}

DiskGeometry GeometryForSectors(std::uint64_t sectors) {
    DiskGeometry geometry;
    geometry.heads = static_cast<std::uint8_t>(kGeometryHeads);
    geometry.sectorsPerTrack = static_cast<std::uint8_t>(kGeometrySectorsPerTrack);
    geometry.cylinders =
        static_cast<std::uint16_t>(sectors / (kGeometryHeads * kGeometrySectorsPerTrack));
    return geometry;
}

bool GetDiskParameters(DriveCode code, std::uint16_t& cylinders, std::uint8_t& heads,
                       std::uint8_t& sectorsPerTrack, Notifier* notifier) {
    // An image's disk is the media its container holds, not the container file.
    const auto disk = OpenDiskReader(code);
    if (!disk) {
        const int error = errno;
        if (notifier) {
            char text[96];
            std::snprintf(text, sizeof text, "Error Code %lu on Disk %u in GetDiskParameters",
                          static_cast<unsigned long>(error), static_cast<unsigned>(code));
            notifier->Notify(text, kAppCaption, NoticeIcon::Error);
        }
        return false;
    }
    const auto bytes = disk->Size();
    if (!bytes) return false;
    const DiskGeometry geometry = GeometryForSectors(*bytes / kSectorSize);
    cylinders = geometry.cylinders;
    heads = geometry.heads;
    sectorsPerTrack = geometry.sectorsPerTrack;
    return true;
}

bool GetDiskSectorCount(DriveCode code, std::uint64_t& totalSectors, Notifier* notifier) {
    totalSectors = 0;
    std::uint16_t cylinders = 0;
    std::uint8_t heads = 0;
    std::uint8_t sectorsPerTrack = 0;
    if (!GetDiskParameters(code, cylinders, heads, sectorsPerTrack, notifier)) return false;
    const auto bytes = DiskByteSize(code);
    if (!bytes) return false;
    totalSectors = *bytes / kSectorSize;
    return true;
}

}  // namespace tarvik
