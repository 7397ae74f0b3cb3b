#include "disk/disk_geometry.h"

#include <cstdio>

#include "disk/disk.h"

namespace tarvik {

DiskGeometry GeometryForSectors(std::uint64_t sectors) {
    DiskGeometry geometry;
    geometry.heads = static_cast<std::uint8_t>(kGeometryHeads);
    geometry.sectorsPerTrack = static_cast<std::uint8_t>(kGeometrySectorsPerTrack);
    geometry.cylinders =
        static_cast<std::uint16_t>(sectors / (kGeometryHeads * kGeometrySectorsPerTrack));
    return geometry;
}

bool GetDiskSectorCount(Disk& disk, std::uint64_t& totalSectors, Notifier* notifier) {
    totalSectors = 0;
    const auto sectors = disk.SectorCount();
    if (sectors) {
        totalSectors = *sectors;
        return true;
    }
    // An image's disk is the media its container holds: one that does not open is told
    // of, one that opens and gives no size is not.
    if (const int error = disk.OpenError(); error != 0 && notifier != nullptr) {
        char text[96];
        std::snprintf(text, sizeof text, "Error Code %lu on Disk %u in GetDiskParameters",
                      static_cast<unsigned long>(error), disk.code());
        notifier->Notify(text, kAppCaption, NoticeIcon::Error);
    }
    return false;
}

}  // namespace tarvik
