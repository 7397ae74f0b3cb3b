#pragma once
// Refusing a destination on the disk being scanned: files written there would land in
// the free clusters that still hold the deleted data being recovered.
#include <cstdint>
#include <optional>
#include <string>

namespace tarvik {

inline constexpr const char* kDestinationOnScannedDiskText =
    "The destination folder lies on the disk being recovered. Writing there would "
    "overwrite the deleted data being recovered; choose a folder on another disk.";

inline constexpr const char* kDestinationUncertainText =
    "Whether the destination folder lies on the disk being recovered cannot be told: %s. "
    "If it does, writing there would overwrite the deleted data being recovered.";

enum class DestinationStanding : std::uint8_t {
    kElsewhere,  // certainly not on the disk
    kOnDisk,     // on the disk, or in a file system kept on it (a mounted image, a loop device)
    kUncertain,  // a file system whose store cannot be followed (sshfs, zfs, a local NFS)
};

struct DestinationVerdict {
    DestinationStanding standing = DestinationStanding::kElsewhere;
    std::string why;  // for kUncertain: the mount, and what keeps it from being followed
};

// Where `destination` (or its nearest existing parent) is kept against the disk at
// `diskPath`: on a device built on that disk (below), or in a file system whose store is
// the disk or image itself (FUSE over the image file, as ntfs-3g mounts one), or a file or
// folder that is in turn on it; followed down to a block device, a memory or another
// machine's file system, or a store that cannot be followed (uncertain).
DestinationVerdict JudgeDestination(const std::string& diskPath, const std::string& destination,
                                    const std::string& sysRoot = "/sys",
                                    const std::string& mountInfo = "/proc/self/mountinfo");

// True when `destination` (or, when it does not exist yet, its nearest existing parent)
// lies on the disk at `diskPath`: for a block device, on the device itself, one of its
// partitions, or a device mapper, RAID or loop device built on them; for an image file,
// on a loop device backed by that image. The destination's file system is known by its
// devices (FileSystemDevices), so that btrfs (sub)volumes, whose files carry a device
// number of no block device, are caught too. `sysRoot` is where sysfs is mounted and
// `mountInfo` the mount table (tests give made-up ones).
bool DestinationOnDisk(const std::string& diskPath, const std::string& destination,
                       const std::string& sysRoot = "/sys",
                       const std::string& mountInfo = "/proc/self/mountinfo");

}  // namespace tarvik

#include <sys/types.h>

#include <vector>

namespace tarvik {

// The parts of that decision, for tests over made-up sysfs trees.
// The device numbers of the loop devices whose backing file is the file at imagePath.
std::vector<dev_t> LoopDevicesBackedBy(const std::string& imagePath, const std::string& sysRoot);
// True when `device` is one of `disks`, or a partition of one, or built on one (device
// mapper, RAID), following sysfs's partition parents and slaves, and a loop device's
// backing file down to the device that file lies on.
bool DeviceOnDisks(dev_t device, const std::vector<dev_t>& disks, const std::string& sysRoot);
// The devices the file system holding `path` (or its nearest existing parent) lives on:
// the path's own device number, and the block devices of the mount holding it as the
// mount table names them: its source device and, for btrfs, every device of that file
// system that sysfs lists.
std::vector<dev_t> FileSystemDevices(const std::string& path, const std::string& sysRoot,
                                     const std::string& mountInfo);

}  // namespace tarvik
