#include "disk/disk_table.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace tarvik {

DiskTable& Disks() {
    static DiskTable table;
    return table;
}

void DiskTable::Clear() {
    const std::lock_guard lock(mutex_);
    entries_.clear();
}

void DiskTable::Append(DiskTableEntry entry) {
    const std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
}

std::vector<DiskTableEntry> DiskTable::Entries() const {
    const std::lock_guard lock(mutex_);
    return entries_;
}

std::optional<DiskTableEntry> DiskTable::EntryFor(DriveCode code) const {
    if (!IsPhysicalDisk(code)) return std::nullopt;
    const unsigned index = PhysicalDiskIndex(code);
    const std::lock_guard lock(mutex_);
    if (index >= entries_.size()) return std::nullopt;
    return entries_[index];
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

void DiskTable::Load(const std::vector<std::string>& imagePaths, bool includeSystemDisks) {
    std::vector<DiskTableEntry> entries;
    for (const auto& path : imagePaths) entries.push_back({path, true});
    if (const char* env = std::getenv("TARVIK_DISKS")) {
        for (const auto& path : SplitPathList(env)) entries.push_back({path, true});
    }
    if (includeSystemDisks) {
        for (const auto& path : SystemDisks()) entries.push_back({path, false});
    }
    const std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
}

}  // namespace tarvik
