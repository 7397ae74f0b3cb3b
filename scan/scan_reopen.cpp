// Keeping a scan's engine state and taking it back over the same drive.
#include <utility>

#include "scan/entry_counts.h"
#include "scan/scan_snapshot.h"
#include "scan/scan_state.h"

namespace tarvik {

ScanSnapshot ScanEngine::Snapshot() const {
    const ScanState& s = *state_;
    ScanSnapshot snapshot;
    snapshot.sectorsPerCluster = s.geometry.sectorsPerCluster;
    snapshot.bytesPerSector = s.geometry.bytesPerSector;
    snapshot.recordSize = s.geometry.recordSize;
    snapshot.volumeSerial = s.volumeSerial;
    snapshot.counters = s.counters;
    snapshot.advanceSearched = s.advanceSearched;
    snapshot.unverifiedEntries = s.unverifiedEntries;
    snapshot.folderCounter = s.folderCounter;
    snapshot.lostFolderCounter = s.lostFolderCounter;
    snapshot.reservedNumbersEnd = s.reservedNumbersEnd;
    snapshot.foundRecords.reserve(s.foundRecords.size());
    for (const DriveSector sector : s.foundRecords) snapshot.foundRecords.push_back(sector.value());
    for (const FoundRecordOrigin& o : s.foundOrigins)
        snapshot.foundOrigins.push_back({o.number, o.sequence, o.numbered, o.inUse, o.volume});
    for (const FoundVolume& v : s.foundVolumes)
        snapshot.foundVolumes.push_back({v.sectorsPerCluster, v.verified, v.start.value()});
    snapshot.foundByNumber.assign(s.foundByNumber.begin(), s.foundByNumber.end());
    return snapshot;
}

bool ScanEngine::Reopen(const ScanSnapshot& snapshot, Catalogue catalogue) {
    ScanState& s = *state_;
    if (s.geometry.recordSize == 0 || snapshot.sectorsPerCluster != s.geometry.sectorsPerCluster ||
        snapshot.bytesPerSector != s.geometry.bytesPerSector ||
        snapshot.recordSize != s.geometry.recordSize || snapshot.volumeSerial != s.volumeSerial)
        return false;
    // A drive searched for its records has no MFT; the records are then read where the
    // search found them.
    if (!s.LocateMft() && snapshot.foundRecords.empty()) return false;
    const std::size_t capacity = s.catalogue.Capacity();
    s.catalogue = std::move(catalogue);
    s.catalogue.SetCapacity(capacity);
    s.foundRecords.clear();
    s.foundRecords.reserve(snapshot.foundRecords.size());
    for (const std::uint64_t sector : snapshot.foundRecords) s.foundRecords.emplace_back(sector);
    s.foundOrigins.clear();
    for (const SnapshotFoundOrigin& o : snapshot.foundOrigins)
        s.foundOrigins.push_back({o.number, o.sequence, o.numbered, o.inUse, o.volume});
    s.foundVolumes.clear();
    for (const SnapshotFoundVolume& v : snapshot.foundVolumes)
        s.foundVolumes.push_back({v.sectorsPerCluster, v.verified, DriveSector(v.start)});
    s.foundByNumber.clear();
    s.foundByNumber.insert(snapshot.foundByNumber.begin(), snapshot.foundByNumber.end());
    s.advanceSearched = snapshot.advanceSearched;
    s.unverifiedEntries = snapshot.unverifiedEntries;
    s.folderCounter = snapshot.folderCounter;
    s.lostFolderCounter = snapshot.lostFolderCounter;
    s.reservedNumbersEnd = snapshot.reservedNumbersEnd;
    s.folderTable = BuildFolderTable(s.catalogue);
    s.totalSize = s.folderTable.TotalSize();
    s.counters = snapshot.counters;
    return true;
}

std::uint64_t ScanEngine::volumeSerial() const {
    return state_->volumeSerial;
}

}  // namespace tarvik
