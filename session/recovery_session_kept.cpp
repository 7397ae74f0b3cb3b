// The session's reads of an entry's bytes, and the keeping and reopening of a scan.
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

#include "carve/carved_files.h"
#include "disk/disk.h"
#include "filedata/file_data_map.h"
#include "recovery/sha256.h"
#include "scan/scan_engine.h"
#include "scan/scan_snapshot.h"
#include "session/recovery_session.h"
#include "session/saved_scan.h"

namespace tarvik {

std::optional<DataWindow> RecoverySession::ReadEntryData(std::size_t index, std::uint64_t offset,
                                                         std::size_t length, const StopFlag* stop) {
    if (!engine_ || index >= engine_->catalogue().Count()) return std::nullopt;
    const CatalogueEntry& entry = engine_->catalogue().At(index);
    if (entry.IsDirectory()) return std::nullopt;
    const std::uint32_t number = entry.number;
    const std::optional<FileDataMap> map = MapEngineFileData(*engine_, number);
    if (!map) return std::nullopt;
    return ReadDataWindow(*map, engine_->SourceOf(number), engine_->ClusterSectorsOf(number),
                          engine_->geometry().sizeInSectors, offset, length, stop);
}

SavedDiskIdentity RecoverySession::DriveIdentity() const {
    SavedDiskIdentity identity;
    if (!engine_) return identity;
    const DriveGeometry& geometry = engine_->geometry();
    if (const std::shared_ptr<Disk>& disk = engine_->disk()) {
        identity.diskBytes = disk->ByteSize().value_or(0);
        identity.sectorSize = disk->LogicalSectorSize().value_or(0);
    }
    identity.driveStart = geometry.firstSector.value();
    identity.driveSectors = geometry.sizeInSectors;
    identity.volumeSerial = engine_->volumeSerial();
    std::array<std::uint8_t, 512> boot{};
    if (!engine_->source().Read(DriveSector(0), boot)) boot.fill(0);
    Sha256 hash;
    hash.Update(boot);
    identity.bootSectorHash = hash.HexDigest();
    return identity;
}

std::optional<std::string> RecoverySession::SaveScan(const std::string& path) const {
    if (!engine_) return std::string("no drive has been scanned");
    // The identity names the disk and the volume, not the shadow copy: reopened, the
    // scan would be read from the live volume.
    if (OpenCopy() != 0) return std::string("a scan of a shadow copy cannot be kept");
    // Carved files are found by their bytes, not by records: a reopened scan could not
    // find their data again, so they would come back as files without content.
    if (carved_ && carved_->Count() != 0)
        return std::string("a scan with carved files cannot be kept (save it before carving)");
    const std::vector<std::uint8_t> file =
        EncodeSavedScan(DriveIdentity(), engine_->Snapshot(), engine_->catalogue(),
                        conditions_.get(), checks_ ? &checks_->Marks() : nullptr);
    const std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) return "it cannot be created";
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        out.flush();
        if (!out) {
            std::remove(partial.c_str());
            return std::string("it cannot be written whole (is the disk full?)");
        }
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return std::string("it cannot be given its name");
    }
    return std::nullopt;
}

std::optional<std::string> RecoverySession::ReopenScan(const SavedScan& saved) {
    if (!engine_) return std::string("no drive is open");
    if (auto mismatch = IdentityMismatch(saved.identity(), DriveIdentity())) return mismatch;
    Catalogue catalogue = saved.MakeCatalogue();
    // Check marks and conditions are kept by catalogue position: all or nothing.
    if (catalogue.Count() != saved.entryCount())
        return "only " + std::to_string(catalogue.Count()) + " of its " +
               std::to_string(saved.entryCount()) + " entries fit in memory";
    std::string why;
    std::optional<KeptPlacement> placement = saved.Placement(catalogue, why);
    if (!placement) return why;
    if (!engine_->Reopen(saved.snapshot(), std::move(catalogue)))
        return std::string("the drive's layout is not the scanned one's");
    // The catalogue moved without its entries moving: the placement still fits it.
    checks_ = std::make_unique<CheckTree>(engine_->catalogue(), std::move(*placement));
    facts_.reset();
    byNumber_.clear();
    stoppedConditions_.reset();
    conditions_.reset();
    if (saved.weighed()) conditions_ = std::make_unique<ConditionTable>(saved.MakeConditions());
    RestoreMarks(saved.marks());
    return std::nullopt;
}

void RecoverySession::RestoreMarks(const std::vector<CheckMark>& marks) {
    if (std::find(marks.begin(), marks.end(), CheckMark::kChecked) == marks.end()) return;
    CheckTree& tree = Checks();
    // Checking a folder checks what it holds, so an entry inside one checked already is
    // passed over; the marks of the folders above follow from their contents.
    for (std::size_t position = 0; position < tree.Placed().size(); ++position) {
        const std::size_t index = tree.Placed()[position].catalogueIndex;
        if (index >= marks.size() || marks[index] != CheckMark::kChecked) continue;
        const auto parent = tree.ParentOf(position);
        if (parent && tree.MarkOf(*parent) == CheckMark::kChecked) continue;
        tree.SetChecked(position, true);
    }
}

std::optional<std::size_t> RecoverySession::DriveRowOf(const SavedDiskIdentity& identity) const {
    const std::vector<LogicalDriveEntry> drives = Drives();
    for (std::size_t row = 0; row < drives.size(); ++row) {
        if (drives[row].startSector == identity.driveStart &&
            drives[row].sizeInSectors() == identity.driveSectors)
            return row;
    }
    return std::nullopt;
}

}  // namespace tarvik
