// The disks and drives commands: the disk list and a disk's partition walk.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "catalogue/tree_placement.h"
#include "cli/commands.h"
#include "cli/drive_choice.h"

namespace tarvik::cli {

int Fail(const std::string& reason) {
    std::fprintf(stderr, "tarvik-cli: %s\n", reason.c_str());
    return kExitFailure;
}

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "tarvik-cli: %s (see --help)\n", reason.c_str());
    return kExitUsage;
}

int FinishOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        return Fail(std::string("cannot write the output: ") + std::strerror(error) +
                    "; check where standard output goes (a full disk, a closed pipe)");
    }
    return status;
}

int RunDisksCommand(const std::vector<std::string>& disks) {
    RecoverySession session;
    if (auto problem = session.LoadDisks(disks, true)) return Fail(*problem);
    unsigned number = 0;
    for (const DiskSummary& disk : session.ListDisks()) {
        std::printf("HardDisk %u\t%s\t%s\t%llu\t%s\n", ++number, disk.model.c_str(),
                    disk.serial.c_str(), static_cast<unsigned long long>(disk.sectors),
                    disk.path.c_str());
    }
    const int status = FinishOutput(kExitOk);
    if (status != kExitOk) return status;
    // Disks left out because they cannot be opened are said, not dropped silently; the
    // command fails only when that leaves nothing to list.
    if (const auto note = session.UnreadableDisksNote()) {
        std::fprintf(stderr, "tarvik-cli: %s\n", note->c_str());
        if (number == 0) return kExitFailure;
    }
    return kExitOk;
}

int RunDrivesCommand(const DriveOptions& options) {
    RecoverySession session;
    if (auto failed = LoadOneDisk(options, session)) return *failed;
    const InterruptStop stop;
    if (!FindDrives(options, session, stop))
        return stop.Requested() ? ReportInterrupted() : kExitFailure;
    if (stop.Requested()) return ReportInterrupted();
    const std::vector<DriveSummary> drives = session.ListDrives();
    for (std::size_t row = 0; row < drives.size(); ++row) {
        const DriveSummary& drive = drives[row];
        std::printf("Logical Drive %zu\t%s\t%llu\t%llu\t%s\t%s", row + 1, drive.fileSystem.c_str(),
                    static_cast<unsigned long long>(drive.startSector),
                    static_cast<unsigned long long>(drive.sizeInSectors), drive.sizeText.c_str(),
                    drive.validates ? "valid" : "invalid");
        // A GPT partition has a name (possibly empty) as a last column; MBR rows keep
        // their six. The name is the table's to choose: a tab or a newline in it must not
        // split the row, nor an escape sequence reach the terminal.
        if (drive.fromGpt) std::printf("\t%s", EscapeListingName(drive.name).c_str());
        std::printf("\n");
        if (drive.missingSectors != 0)
            std::fprintf(stderr,
                         "tarvik-cli: Logical Drive %zu: the image is shorter than its volume: "
                         "its last %llu sectors are missing, and files there are partly "
                         "unreadable\n",
                         row + 1, static_cast<unsigned long long>(drive.missingSectors));
        for (const ShadowCopySummary& copy : drive.shadowCopies)
            std::printf("%s\n", copy.label.c_str());
        if (!drive.shadowProblem.empty())
            std::fprintf(stderr, "tarvik-cli: Logical Drive %zu: %s\n", row + 1,
                         drive.shadowProblem.c_str());
    }
    return FinishOutput(kExitOk);
}

}  // namespace tarvik::cli
