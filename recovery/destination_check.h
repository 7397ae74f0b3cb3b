#pragma once
// Refusing a destination on the disk being scanned: files written there would land in
// the free clusters that still hold the deleted data being recovered.
#include <optional>
#include <string>

namespace tarvik {

inline constexpr const char* kDestinationOnScannedDiskText =
    "The destination folder lies on the disk being recovered. Writing there would "
    "overwrite the deleted data being recovered; choose a folder on another disk.";

// True when `destination` (or, when it does not exist yet, its nearest existing parent)
// lies on the disk at `diskPath`: for a block device, on the device itself, one of its
// partitions, or a device mapper or RAID device built on them; for an image file, on a
// loop device backed by that image. `sysRoot` is where sysfs is mounted (tests give a
// made-up tree).
bool DestinationOnDisk(const std::string& diskPath, const std::string& destination,
                       const std::string& sysRoot = "/sys");

}  // namespace tarvik

#include <sys/types.h>

#include <vector>

namespace tarvik {

// The parts of that decision, for tests over made-up sysfs trees.
// The device numbers of the loop devices whose backing file is the file at imagePath.
std::vector<dev_t> LoopDevicesBackedBy(const std::string& imagePath, const std::string& sysRoot);
// True when `device` is one of `disks`, or a partition of one, or built on one (device
// mapper, RAID), following sysfs's partition parents and slaves.
bool DeviceOnDisks(dev_t device, const std::vector<dev_t>& disks, const std::string& sysRoot);

}  // namespace tarvik
