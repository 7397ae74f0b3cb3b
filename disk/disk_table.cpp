#include "disk/disk_table.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace tarvik {

std::size_t DiskTable::Append(const DiskTableEntry& entry) {
    const std::lock_guard lock(mutex_);
    disks_.push_back(std::make_shared<Disk>(entry.path, entry.isImage, disks_.size()));
    return disks_.size() - 1;
}

void DiskTable::Replace(const std::vector<DiskTableEntry>& entries) {
    std::vector<std::shared_ptr<Disk>> disks;
    for (const DiskTableEntry& entry : entries)
        disks.push_back(std::make_shared<Disk>(entry.path, entry.isImage, disks.size()));
    const std::lock_guard lock(mutex_);
    disks_ = std::move(disks);
}

std::vector<std::shared_ptr<Disk>> DiskTable::Entries() const {
    const std::lock_guard lock(mutex_);
    return disks_;
}

std::shared_ptr<Disk> DiskTable::At(std::size_t number) const {
    const std::lock_guard lock(mutex_);
    return number < disks_.size() ? disks_[number] : nullptr;
}

std::size_t DiskTable::OpenableCount() const {
    std::size_t count = 0;
    for (const auto& disk : Entries()) {
        const int fd = ::open(disk->path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) break;
        ::close(fd);
        ++count;
    }
    return count;
}

std::vector<std::string> DiskTable::SplitPathList(const std::string& list) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t colon = list.find(':', start);
        const std::size_t end = colon == std::string::npos ? list.size() : colon;
        if (end > start) paths.push_back(list.substr(start, end - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return paths;
}

bool DiskTable::IsWholeDiskName(const std::string& name) {
    // Partitions (sda1, nvme0n1p1, mmcblk0p1) and loop/ram devices are not whole disks.
    static const std::regex wholeDisk(
        R"(^(sd[a-z]+|hd[a-z]+|vd[a-z]+|xvd[a-z]+|nvme[0-9]+n[0-9]+|mmcblk[0-9]+)$)");
    return std::regex_match(name, wholeDisk);
}

std::vector<std::string> DiskTable::SystemDisks(const std::string& sysBlockDir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(sysBlockDir, error)) {
        const std::string name = item.path().filename().string();
        if (IsWholeDiskName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const auto& name : names) paths.push_back("/dev/" + name);
    return paths;
}

std::vector<DiskTableEntry> DiskTable::Listed(const std::vector<std::string>& imagePaths,
                                              bool includeSystemDisks) {
    std::vector<DiskTableEntry> entries;
    for (const auto& path : imagePaths) entries.push_back({path, true});
    if (const char* env = std::getenv("TARVIK_DISKS")) {
        for (const auto& path : SplitPathList(env)) entries.push_back({path, true});
    }
    if (includeSystemDisks) {
        for (const auto& path : SystemDisks()) entries.push_back({path, false});
    }
    return entries;
}

void DiskTable::Load(const std::vector<std::string>& imagePaths, bool includeSystemDisks) {
    Replace(Listed(imagePaths, includeSystemDisks));
}

}  // namespace tarvik
