#include "disk/disk_identity.h"

#include <sys/stat.h>

#include <filesystem>

#include "disk/disk_table.h"

namespace tarvik {

DiskIdentity IdentifyDisk(unsigned diskIndex) {
    const auto entry = Disks().EntryFor(PhysicalDiskCode(diskIndex));
    if (!entry) return {};
    struct stat info {};
    if (::stat(entry->path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        return {kImageModel, std::filesystem::path(entry->path).filename().string()};
    }
    return {};
}

DiskIdentity IdentityForDisplay(const DiskIdentity& identity) {
    const bool usable =
        !identity.model.empty() && identity.model[0] >= 'A' && identity.model[0] <= 'Z';
    if (!usable) return {kUnknownIdentity, kUnknownIdentity};
    return identity;
}

}  // namespace tarvik
