#include "recovery/destination_check.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

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
    // A loop device lies on whatever holds its backing file.
    std::ifstream backing(dir / "loop" / "backing_file");
    std::string file;
    struct stat st {};
    if (std::getline(backing, file) && ::stat(file.c_str(), &st) == 0) below.push_back(st.st_dev);
    return below;
}

// Undoes the octal escapes of the mount table ("\040" for a space).
std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

struct MountEntry {
    std::optional<dev_t> device;  // the st_dev of files on the mount
    std::string mountPoint;
    std::string type;
    std::string source;
    std::string options;  // the file system's own ("upperdir=..." for an overlay)
};

std::optional<MountEntry> ParseMountLine(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; in >> field;) fields.push_back(field);
    const auto dash = std::find(fields.begin(), fields.end(), "-");
    if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 3) return std::nullopt;
    MountEntry entry;
    unsigned major = 0;
    unsigned minor = 0;
    if (std::sscanf(fields[2].c_str(), "%u:%u", &major, &minor) == 2)
        entry.device = makedev(major, minor);
    entry.mountPoint = Unescape(fields[4]);
    entry.type = *(dash + 1);
    entry.source = Unescape(*(dash + 2));
    if (fields.end() - dash > 3) entry.options = Unescape(*(dash + 3));
    return entry;
}

bool PathUnder(const std::string& path, const std::string& mountPoint) {
    if (mountPoint == "/") return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The block device a mount source names: by its name in sysfs (no device node needed),
// or by the node itself.
std::optional<dev_t> SourceDevice(const std::string& source, const std::string& sysRoot) {
    const std::string name = fs::path(source).filename().string();
    if (!name.empty()) {
        if (auto dev = ReadDevFile(fs::path(sysRoot) / "class" / "block" / name / "dev"))
            return dev;
    }
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) return st.st_rdev;
    return std::nullopt;
}

// Every device of the btrfs file system that has `member` among its devices.
std::vector<dev_t> BtrfsDevices(dev_t member, const std::string& sysRoot) {
    std::error_code error;
    for (const auto& filesystem :
         fs::directory_iterator(fs::path(sysRoot) / "fs" / "btrfs", error)) {
        std::vector<dev_t> devices;
        std::error_code inner;
        for (const auto& device : fs::directory_iterator(filesystem.path() / "devices", inner)) {
            if (auto dev = ReadDevFile(device.path() / "dev")) devices.push_back(*dev);
        }
        if (std::find(devices.begin(), devices.end(), member) != devices.end()) return devices;
    }
    return {member};
}

// The nearest existing path at or above `path`, resolved, with its device number.
std::optional<std::pair<std::string, dev_t>> NearestExisting(const std::string& path) {
    std::error_code error;
    fs::path probe = fs::absolute(path, error);
    if (error) return std::nullopt;
    for (;;) {
        struct stat st {};
        if (::stat(probe.c_str(), &st) == 0) {
            const fs::path real = fs::canonical(probe, error);
            return std::make_pair(error ? probe.string() : real.string(), st.st_dev);
        }
        if (!probe.has_parent_path() || probe.parent_path() == probe) return std::nullopt;
        probe = probe.parent_path();
    }
}

// The mount holding `path`: the longest mount point above it, the last one mounted when
// several share it.
std::optional<MountEntry> MountHolding(const std::string& path, const std::string& mountInfo) {
    std::ifstream table(mountInfo);
    std::optional<MountEntry> holder;
    for (std::string line; std::getline(table, line);) {
        auto entry = ParseMountLine(line);
        if (!entry || !PathUnder(path, entry->mountPoint)) continue;
        if (!holder || entry->mountPoint.size() >= holder->mountPoint.size()) holder = entry;
    }
    return holder;
}

}  // namespace

std::vector<dev_t> FileSystemDevices(const std::string& path, const std::string& sysRoot,
                                     const std::string& mountInfo) {
    std::vector<dev_t> devices;
    const auto existing = NearestExisting(path);
    if (!existing) return devices;
    devices.push_back(existing->second);
    const std::optional<MountEntry> holder = MountHolding(existing->first, mountInfo);
    if (!holder) return devices;
    if (holder->device) devices.push_back(*holder->device);
    if (const auto source = SourceDevice(holder->source, sysRoot)) {
        if (holder->type == "btrfs") {
            for (dev_t dev : BtrfsDevices(*source, sysRoot)) devices.push_back(dev);
        } else {
            devices.push_back(*source);
        }
    }
    return devices;
}

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

namespace {

// File systems whose files live in memory: nothing they hold is on any disk.
bool InMemory(const std::string& type) {
    return type == "tmpfs" || type == "ramfs" || type == "devtmpfs";
}

// File systems served by another machine, named "host:/export" or "//host/share".
bool Networked(const std::string& type) {
    return type == "nfs" || type == "nfs4" || type == "cifs" || type == "smb3" || type == "smbfs" ||
           type == "afs" || type == "ceph" || type == "glusterfs";
}

bool LocalHostSource(const std::string& source) {
    std::string host = source.rfind("//", 0) == 0 ? source.substr(2) : source;
    host = host.substr(0, host.find_first_of(":/"));
    if (host.size() > 1 && host.front() == '[') host = host.substr(1);
    return host.empty() || host == "localhost" || host.rfind("127.", 0) == 0 || host == "::1";
}

bool Fuse(const std::string& type) {
    return type == "fuse" || type == "fuseblk" || type.rfind("fuse.", 0) == 0;
}

std::string OptionValue(const std::string& options, const std::string& key) {
    std::size_t at = 0;
    while (at < options.size()) {
        const std::size_t end = std::min(options.find(',', at), options.size());
        if (options.compare(at, key.size() + 1, key + "=") == 0)
            return options.substr(at + key.size() + 1, end - at - key.size() - 1);
        at = end + 1;
    }
    return {};
}

// Devices whose backing store sysfs does not show: a network block device may serve an
// image file, or the very disk, from a local server.
bool OpaqueDevice(dev_t device, const std::string& sysRoot) {
    std::error_code error;
    const fs::path dir = fs::canonical(SysDeviceDir(device, sysRoot), error);
    return !error && dir.filename().string().rfind("nbd", 0) == 0;
}

// Where the path's file system keeps what is written to it, against the scanned disk.
class DestinationJudge {
  public:
    DestinationJudge(const std::string& diskPath, const std::string& sysRoot,
                     const std::string& mountInfo)
        : sysRoot_(sysRoot), mountInfo_(mountInfo) {
        if (::stat(diskPath.c_str(), &disk_) != 0) return;
        known_ = true;
        if (S_ISBLK(disk_.st_mode))
            devices_.push_back(disk_.st_rdev);
        else if (S_ISREG(disk_.st_mode))
            devices_ = LoopDevicesBackedBy(diskPath, sysRoot);
    }

    DestinationVerdict Judge(const std::string& path, int depth = 0) const {
        if (!known_) return {};
        const auto existing = NearestExisting(path);
        if (!existing) return Uncertain(path, "no part of it exists");
        for (dev_t device : FileSystemDevices(existing->first, sysRoot_, mountInfo_)) {
            if (DeviceOnDisks(device, devices_, sysRoot_))
                return {DestinationStanding::kOnDisk, {}};
        }
        const std::optional<MountEntry> mount = MountHolding(existing->first, mountInfo_);
        if (!mount) return Uncertain(existing->first, "no mount holds it");
        return JudgeMount(*mount, mount->device.value_or(existing->second), depth);
    }

  private:
    DestinationVerdict JudgeMount(const MountEntry& mount, dev_t device, int depth) const {
        if (InMemory(mount.type)) return {};
        if (Networked(mount.type)) {
            if (!LocalHostSource(mount.source)) return {};
            return Uncertain(mount, "is served by this machine");
        }
        // A file system over a file or a folder (ntfs-3g on an image, bindfs) keeps its
        // data there: where that lies decides. One over a block device was judged above.
        if (Fuse(mount.type) || mount.type == "overlay") {
            const std::string store =
                mount.type == "overlay" ? OptionValue(mount.options, "upperdir") : mount.source;
            if (mount.type == "overlay" && store.empty()) return {};  // read-only
            return JudgeStore(mount, store, depth);
        }
        if (major(device) != 0) {
            if (OpaqueDevice(device, sysRoot_))
                return Uncertain(mount, "lies on a network block device");
            return {};
        }
        // btrfs and its like carry a device number of no block device: their source names it.
        if (SourceDevice(mount.source, sysRoot_)) return {};
        return Uncertain(mount, "keeps its data where it cannot be followed");
    }

    DestinationVerdict JudgeStore(const MountEntry& mount, const std::string& store,
                                  int depth) const {
        struct stat st {};
        if (store.empty() || store.front() != '/' || ::stat(store.c_str(), &st) != 0)
            return Uncertain(mount, "keeps its data where it cannot be followed");
        if (S_ISREG(st.st_mode) && S_ISREG(disk_.st_mode) && st.st_dev == disk_.st_dev &&
            st.st_ino == disk_.st_ino)
            return {DestinationStanding::kOnDisk, {}};
        if (S_ISBLK(st.st_mode)) {
            if (DeviceOnDisks(st.st_rdev, devices_, sysRoot_))
                return {DestinationStanding::kOnDisk, {}};
            if (OpaqueDevice(st.st_rdev, sysRoot_))
                return Uncertain(mount, "lies on a network block device");
            return {};
        }
        // The store is itself a file or a folder on some file system: judged in turn.
        if (depth >= kMaxStoreDepth) return Uncertain(mount, "lies on too many layers");
        return Judge(store, depth + 1);
    }

    static DestinationVerdict Uncertain(const MountEntry& mount, const std::string& why) {
        return {DestinationStanding::kUncertain,
                mount.mountPoint + " (" + mount.type + " from " + mount.source + ") " + why};
    }
    static DestinationVerdict Uncertain(const std::string& path, const std::string& why) {
        return {DestinationStanding::kUncertain, path + ": " + why};
    }

    static constexpr int kMaxStoreDepth = 8;
    std::string sysRoot_;
    std::string mountInfo_;
    struct stat disk_ {};
    bool known_ = false;
    std::vector<dev_t> devices_;
};

}  // namespace

DestinationVerdict JudgeDestination(const std::string& diskPath, const std::string& destination,
                                    const std::string& sysRoot, const std::string& mountInfo) {
    return DestinationJudge(diskPath, sysRoot, mountInfo).Judge(destination);
}

bool DestinationOnDisk(const std::string& diskPath, const std::string& destination,
                       const std::string& sysRoot, const std::string& mountInfo) {
    return JudgeDestination(diskPath, destination, sysRoot, mountInfo).standing ==
           DestinationStanding::kOnDisk;
}

}  // namespace tarvik
