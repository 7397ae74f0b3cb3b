#include "recovery/destination_check.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace tarvik {
namespace {

namespace fs = std::filesystem;

// Device chains are short (partition -> disk, dm -> slaves); this bounds a looping tree.
constexpr std::size_t kMaxDevicesVisited = 256;

std::optional<dev_t> ReadDevFile(const fs::path& file) {
    std::ifstream in(file);
    unsigned major = 0;
    unsigned minor = 0;
    char colon = 0;
    if (!(in >> major >> colon >> minor) || colon != ':') return std::nullopt;
    return makedev(major, minor);
}

fs::path SysDeviceDir(dev_t device, const std::string& sysRoot) {
    return fs::path(sysRoot) / "dev" / "block" /
           (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
}

// The devices a device sits on: a partition's whole disk, a mapped device's slaves.
std::vector<dev_t> DevicesBelow(dev_t device, const std::string& sysRoot) {
    std::vector<dev_t> below;
    std::error_code error;
    const fs::path dir = fs::canonical(SysDeviceDir(device, sysRoot), error);
    if (error) return below;
    if (fs::exists(dir / "partition", error)) {
        if (auto parent = ReadDevFile(dir.parent_path() / "dev")) below.push_back(*parent);
    }
    for (const auto& slave : fs::directory_iterator(dir / "slaves", error)) {
        if (auto dev = ReadDevFile(slave.path() / "dev")) below.push_back(*dev);
    }
    return below;
}

// The device of the file system holding the path, or of its nearest existing parent.
std::optional<dev_t> FileSystemDevice(const std::string& path) {
    std::error_code error;
    fs::path probe = fs::absolute(path, error);
    if (error) return std::nullopt;
    for (;;) {
        struct stat st {};
        if (::stat(probe.c_str(), &st) == 0) return st.st_dev;
        if (!probe.has_parent_path() || probe.parent_path() == probe) return std::nullopt;
        probe = probe.parent_path();
    }
}

}  // namespace

std::vector<dev_t> LoopDevicesBackedBy(const std::string& imagePath, const std::string& sysRoot) {
    std::vector<dev_t> loops;
    struct stat image {};
    if (::stat(imagePath.c_str(), &image) != 0) return loops;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(sysRoot) / "block", error)) {
        if (entry.path().filename().string().rfind("loop", 0) != 0) continue;
        std::ifstream in(entry.path() / "loop" / "backing_file");
        std::string backing;
        if (!std::getline(in, backing)) continue;
        struct stat st {};
        if (::stat(backing.c_str(), &st) != 0 || st.st_dev != image.st_dev ||
            st.st_ino != image.st_ino)
            continue;
        if (auto dev = ReadDevFile(entry.path() / "dev")) loops.push_back(*dev);
    }
    return loops;
}

bool DeviceOnDisks(dev_t device, const std::vector<dev_t>& disks, const std::string& sysRoot) {
    std::vector<dev_t> pending{device};
    std::set<dev_t> seen;
    while (!pending.empty() && seen.size() < kMaxDevicesVisited) {
        const dev_t current = pending.back();
        pending.pop_back();
        if (!seen.insert(current).second) continue;
        if (std::find(disks.begin(), disks.end(), current) != disks.end()) return true;
        for (dev_t below : DevicesBelow(current, sysRoot)) pending.push_back(below);
    }
    return false;
}

bool DestinationOnDisk(const std::string& diskPath, const std::string& destination,
                       const std::string& sysRoot) {
    struct stat disk {};
    if (::stat(diskPath.c_str(), &disk) != 0) return false;
    const auto destinationDevice = FileSystemDevice(destination);
    if (!destinationDevice) return false;
    std::vector<dev_t> disks;
    if (S_ISBLK(disk.st_mode))
        disks.push_back(disk.st_rdev);
    else if (S_ISREG(disk.st_mode))
        disks = LoopDevicesBackedBy(diskPath, sysRoot);
    return !disks.empty() && DeviceOnDisks(*destinationDevice, disks, sysRoot);
}

}  // namespace tarvik
