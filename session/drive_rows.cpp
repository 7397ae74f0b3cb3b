// The rows of the drive list: one builder for the desktop program's list and the
// command line's drives command.
#include "partition/drive_size_text.h"
#include "partition/partition_types.h"
#include "session/recovery_session.h"

namespace tarvik {

std::vector<DriveSummary> RecoverySession::ListDrives() const {
    std::vector<DriveSummary> rows;
    for (const LogicalDriveEntry& entry : Drives()) {
        const std::size_t row = rows.size();
        DriveSummary summary;
        summary.fileSystem = DriveFileSystemName(entry);
        summary.startSector = entry.startSector;
        summary.sizeInSectors = entry.sizeInSectors();
        summary.sizeText = FormatDriveSize(entry.sizeInSectors());
        summary.scannable = IsScannedType(entry.partitionType);
        summary.name = entry.gptName;
        summary.fromGpt = entry.fromGpt;
        summary.validates = DriveValidates(row);
        summary.missingSectors = DriveMissingSectors(row);
        // Only a scannable drive can hold a shadow copy store.
        if (summary.scannable) summary.shadowCopies = ShadowCopies(row, &summary.shadowProblem);
        rows.push_back(std::move(summary));
    }
    return rows;
}

}  // namespace tarvik
