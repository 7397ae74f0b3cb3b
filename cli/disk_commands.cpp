// The disks and drives commands: the disk list and a disk's partition walk.
#include <cstdio>

#include "cli/commands.h"
#include "cli/scan_session.h"
#include "cli/stderr_reporting.h"
#include "disk/disk_check.h"
#include "disk/disk_geometry.h"
#include "disk/disk_identity.h"
#include "disk/disk_table.h"
#include "partition/drive_list.h"
#include "partition/drive_size_text.h"
#include "partition/partition_types.h"
#include "partition/partition_walk.h"

namespace tarvik::cli {

int Fail(const std::string& reason) {
    std::fprintf(stderr, "tarvik-cli: %s\n", reason.c_str());
    return kExitFailure;
}

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "tarvik-cli: %s\n", reason.c_str());
    return kExitUsage;
}

std::optional<std::string> LoadDiskTable(const std::vector<std::string>& paths,
                                         bool includeSystemDisks) {
    for (const auto& path : paths) {
        if (auto problem = DescribeUnusableDisk(path)) return problem;
    }
    Disks().Load(paths, includeSystemDisks);
    return std::nullopt;
}

int RunDisksCommand(const std::vector<std::string>& words) {
    std::string error;
    const auto args = ParseArgs("disks", words, {{"--disk"}, {}, {}}, error);
    if (!args) return UsageError(error);
    if (!args->positional.empty()) return UsageError("unexpected argument " + args->positional[0]);
    if (auto problem = LoadDiskTable(args->All("--disk"), true)) return Fail(*problem);

    std::uint8_t count = 0;
    CountPhysicalDisks(count);
    for (unsigned n = 0; n < count; ++n) {
        const DiskIdentity identity = IdentityForDisplay(IdentifyDisk(n));
        std::uint64_t sectors = 0;
        GetDiskSectorCount(PhysicalDiskCode(n), sectors);
        std::printf("HardDisk %u\t%s\t%s\t%u\t%s\n", n + 1, identity.model.c_str(),
                    identity.serial.c_str(), CappedSectorCount(sectors),
                    Disks().Entries()[n].path.c_str());
    }
    return kExitOk;
}

int RunDrivesCommand(const std::vector<std::string>& words) {
    std::string error;
    const auto args = ParseArgs("drives", words, {{"--disk"}, {"--search"}, {}}, error);
    if (!args) return UsageError(error);
    if (!args->positional.empty()) return UsageError("unexpected argument " + args->positional[0]);
    const auto& paths = args->All("--disk");
    if (paths.size() != 1) return UsageError("drives needs exactly one --disk PATH");
    if (auto problem = LoadDiskTable(paths, false)) return Fail(*problem);

    StderrNotifier notifier;
    DriveList& list = ProcessDriveList();
    if (!FindLogicalDrives(args->Has("--search"), list, notifier)) return kExitFailure;
    const std::vector<LogicalDriveEntry> drives = list.Entries();
    for (std::size_t row = 0; row < drives.size(); ++row) {
        const LogicalDriveEntry& entry = drives[row];
        std::printf("Logical Drive %zu\t%s\t%llu\t%llu\t%s\n", row + 1,
                    FileSystemName(entry.partitionType).value_or("?").c_str(),
                    static_cast<unsigned long long>(entry.startSector),
                    static_cast<unsigned long long>(entry.sizeInSectors()),
                    FormatDriveSize(entry.sizeInSectors()).c_str());
    }
    return kExitOk;
}

}  // namespace tarvik::cli
