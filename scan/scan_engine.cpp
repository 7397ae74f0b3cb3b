#include "scan/scan_engine.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "ntfs/boot_sector.h"
#include "scan/cluster_size_search.h"
#include "scan/drive_search.h"
#include "scan/mft_record_stream.h"
#include "scan/scan_phases.h"
#include "scan/scan_state.h"
#include "scan/scan_texts.h"

namespace tarvik {

namespace {

// A volume of 4096-byte sectors keeps its backup boot sector at the start of its last
// sector, eight 512-byte sectors before the drive's end.
constexpr std::uint64_t kLargeSectorUnits = 8;

DriveGeometry Placed(DiskSector firstSector, std::uint64_t sizeInSectors) {
    DriveGeometry geometry;
    geometry.firstSector = firstSector;
    geometry.sizeInSectors = sizeInSectors;
    return geometry;
}

// A boot sector copy the engine can read the volume by: an NTFS quick test passed and
// usable sector, cluster and record sizes.
struct VolumeLayout {
    NtfsBootSector boot;
    std::uint32_t unitsPerCluster = 0;
    std::uint32_t bytesPerSector = 0;
    std::uint32_t recordSize = 0;
    std::uint64_t serial = 0;
    std::optional<DriveSector> mft;
    std::optional<DriveSector> mirror;
};

// The layout a boot sector gives with clusters of `units` 512-byte units.
std::optional<VolumeLayout> LayoutWith(const NtfsBootSector& boot, std::uint32_t units) {
    const auto recordSize = boot.RecordSizeWith(units);
    const auto sectorSize = boot.SectorSize();
    if (!recordSize || !sectorSize) return std::nullopt;
    VolumeLayout layout;
    layout.boot = boot;
    layout.unitsPerCluster = units;
    layout.bytesPerSector = *sectorSize;
    layout.recordSize = *recordSize;
    layout.serial = boot.serial();
    layout.mft = ClusterStart(Cluster(boot.mftCluster()), units);
    layout.mirror = ClusterStart(Cluster(boot.mftMirrorCluster()), units);
    return layout;
}

// A boot sector copy that passes the quick test.
std::optional<NtfsBootSector> ReadBootCopy(SectorSource& source, DriveSector sector) {
    std::array<std::uint8_t, NtfsBootSector::kSize> bytes{};
    if (!source.Read(sector, bytes)) return std::nullopt;
    const auto boot = NtfsBootSector::Parse(ByteView(bytes.data(), bytes.size()));
    if (!boot || !boot->PassesQuickTest()) return std::nullopt;
    return boot;
}

// The layout a boot sector copy states with its own cluster size.
std::optional<VolumeLayout> StatedLayout(const NtfsBootSector& boot) {
    const auto units = boot.UnitsPerCluster();
    return units ? LayoutWith(boot, *units) : std::nullopt;
}

// A cluster size or MFT cluster changed to another plausible value (a bit flip) points
// at sectors that hold no record, or another record of the MFT: every file would then be
// read from the wrong place. The record there must be in use and, when records carry
// their own number (update sequence at 0x30 or later), be record 0.
bool MftWhereItSays(SectorSource& source, const VolumeLayout& layout) {
    std::array<std::uint8_t, 512> sector{};
    if (!layout.mft || !source.Read(*layout.mft, sector)) return false;
    if (std::memcmp(sector.data(), "FILE", 4) != 0) return false;
    const std::uint16_t usaOffset = static_cast<std::uint16_t>(sector[4] | sector[5] << 8);
    const std::uint32_t number = static_cast<std::uint32_t>(sector[0x2C]) |
                                 static_cast<std::uint32_t>(sector[0x2D]) << 8 |
                                 static_cast<std::uint32_t>(sector[0x2E]) << 16 |
                                 static_cast<std::uint32_t>(sector[0x2F]) << 24;
    const bool inUse = (sector[0x16] & 1) != 0;
    return inUse && (usaOffset < 0x30 || number == 0);
}

// Whether the stated MFT lies where the drive can be read at all. When it does not (an
// image cut before it), the scan says that no record could be read, and a doubt about
// the cluster size would only be noise before that message.
bool MftSectorReadable(SectorSource& source, const VolumeLayout& layout) {
    std::array<std::uint8_t, 512> sector{};
    return layout.mft && source.Read(*layout.mft, sector);
}

// No copy's MFT is where it says: the first copy whose MFT confirms a cluster size
// (its own, or one its damaged cluster byte hid) gives the layout.
std::optional<VolumeLayout> LayoutConfirmedByMft(SectorSource& source,
                                                 const std::vector<NtfsBootSector>& copies) {
    for (const NtfsBootSector& boot : copies) {
        if (const auto units = FindClusterUnitsByMft(source, boot)) {
            if (auto layout = LayoutWith(boot, *units)) return layout;
        }
    }
    return std::nullopt;
}

std::string WithClusterBytes(const char* text, std::uint64_t bytes) {
    std::string out = text;
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, std::to_string(bytes));
    return out;
}

}  // namespace

ScanEngine::ScanEngine(std::shared_ptr<Disk> disk, DiskSector firstSector,
                       std::uint64_t sizeInSectors)
    : ScanEngine(disk, firstSector, sizeInSectors,
                 std::make_unique<DiskSectorSource>(disk, firstSector)) {}

ScanEngine::ScanEngine(std::shared_ptr<Disk> disk, DiskSector firstSector,
                       std::uint64_t sizeInSectors, std::unique_ptr<SectorSource> source)
    : state_(std::make_unique<ScanState>(Placed(firstSector, sizeInSectors), std::move(source))),
      disk_(std::move(disk)) {}

ScanEngine::ScanEngine(std::unique_ptr<ScanState> state) : state_(std::move(state)) {}

ScanEngine::~ScanEngine() = default;

bool ScanEngine::ValidateBootSector(Notifier& notifier) {
    ScanState& s = *state_;
    const std::uint64_t size = s.geometry.sizeInSectors;
    if (!s.source || size == 0) return false;
    // The boot sector, else its backup; but a backup whose MFT is where it says is
    // preferred to a boot sector whose MFT is not.
    // Without one, a cluster size the MFT confirms; without that, the first copy whose
    // own sizes are usable, its cluster size unverified.
    std::optional<VolumeLayout> layout;
    std::optional<VolumeLayout> firstUsable;
    std::vector<NtfsBootSector> unconfirmed;
    std::vector<DriveSector> copies{DriveSector(0), DriveSector(size - 1)};
    if (size >= kLargeSectorUnits) copies.push_back(DriveSector(size - kLargeSectorUnits));
    for (const DriveSector at : copies) {
        const auto boot = ReadBootCopy(*s.source, at);
        if (!boot) continue;
        const auto stated = StatedLayout(*boot);
        if (stated && MftWhereItSays(*s.source, *stated)) {
            layout = stated;
            break;
        }
        unconfirmed.push_back(*boot);
        if (!firstUsable) firstUsable = stated;
    }
    s.geometry.clusterSizeUnverified = false;
    if (!layout) layout = LayoutConfirmedByMft(*s.source, unconfirmed);
    if (!layout && firstUsable) {
        layout = firstUsable;
        s.geometry.clusterSizeUnverified = true;
        if (MftSectorReadable(*s.source, *layout)) {
            notifier.Notify(WithClusterBytes(kClusterSizeUnverifiedText,
                                             std::uint64_t{layout->unitsPerCluster} * 512),
                            kClusterSizeUnverifiedCaption, NoticeIcon::Warning);
        }
    }
    if (!layout) {
        notifier.Notify(kFatDriveText, kInvalidDriveCaption, NoticeIcon::Warning);
        return false;
    }
    s.geometry.sectorsPerCluster = layout->unitsPerCluster;
    s.geometry.bytesPerSector = layout->bytesPerSector;
    s.geometry.recordSize = layout->recordSize;
    s.volumeSerial = layout->serial;
    s.mftRecordSector = layout->mft;
    s.mirrorRecordSector = layout->mirror;
    s.geometry.mftStart = layout->mft.value_or(DriveSector(0));
    s.geometry.mftMirrorStart = layout->mirror.value_or(DriveSector(0));
    return true;
}

void ScanEngine::Scan(ProgressSink& progress, Notifier& notifier, const StopFlag* stop,
                      MftRecordObserver* observer) {
    if (state_->recordSize() == 0) {  // not validated
        if (observer != nullptr) observer->PassEnded(false);
        return;
    }
    state_->stop = stop;
    state_->mftObserver = observer;
    RunNormalScan(*state_, progress, notifier);
    state_->mftObserver = nullptr;
    RunHousekeeping(*state_, progress);
    state_->stop = nullptr;
}

void ScanEngine::SetReadFolderIndexes(bool read) {
    state_->readIndexes = read;
}

bool ScanEngine::readsFolderIndexes() const {
    return state_->readIndexes;
}

bool ScanEngine::AdvanceSearch(ProgressSink& progress, const StopFlag* stop) {
    if (state_->recordSize() == 0) return false;
    state_->advanceSearched = true;
    state_->stop = stop;
    const bool found = RunAdvanceSearch(*state_, progress);
    if (found) RunHousekeeping(*state_, progress);
    state_->stop = nullptr;
    return found;
}

std::size_t ScanEngine::AppendFoundEntries(std::span<const CatalogueEntry> entries,
                                           ProgressSink& progress) {
    state_->catalogue.Reserve(state_->catalogue.Count() + entries.size());
    std::size_t taken = 0;
    while (taken < entries.size() && state_->catalogue.Append(entries[taken])) ++taken;
    RunHousekeeping(*state_, progress);
    return taken;
}

std::uint32_t ScanEngine::UnusedNumbersFrom() const {
    const ScanState& s = *state_;
    std::uint64_t number = std::max({s.mftMap.recordCount(), std::uint64_t{s.foundRecords.size()},
                                     std::uint64_t{s.foundOrigins.size()}, s.reservedNumbersEnd});
    for (const CatalogueEntry& entry : s.catalogue.Entries()) {
        const std::uint64_t own = entry.number;
        if (entry.IsMadeUp() && own >= kStaleParentNumbersFirst) continue;
        number = std::max(number, own + 1);
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(number, kStaleParentNumbersFirst));
}

const Catalogue& ScanEngine::catalogue() const {
    return state_->catalogue;
}
Catalogue& ScanEngine::catalogue() {
    return state_->catalogue;
}
const FolderTable& ScanEngine::folderTable() const {
    return state_->folderTable;
}
const ScanCounters& ScanEngine::counters() const {
    return state_->counters;
}
std::uint64_t ScanEngine::totalSize() const {
    return state_->totalSize;
}
bool ScanEngine::advanceSearched() const {
    return state_->advanceSearched;
}
const DriveGeometry& ScanEngine::geometry() const {
    return state_->geometry;
}
bool ScanEngine::ReadCataloguedRecord(std::uint32_t ownNumber, RecordBuffer& record) {
    return state_->ReadCataloguedRecord(ownNumber, record);
}
std::uint32_t ScanEngine::ClusterSectorsOf(std::uint32_t ownNumber) const {
    return state_->ClusterSectorsOf(ownNumber);
}
SectorSource& ScanEngine::SourceOf(std::uint32_t ownNumber) {
    return state_->SourceOf(ownNumber);
}
DriveSector ScanEngine::VolumeStartOf(std::uint32_t ownNumber) const {
    const FoundVolume* volume = state_->VolumeOf(ownNumber);
    return volume != nullptr ? volume->start : DriveSector(0);
}
std::optional<std::uint32_t> ScanEngine::LiveMftNumberOf(std::uint32_t ownNumber) const {
    const ScanState& s = *state_;
    const std::uint64_t records = s.mftMap.recordCount();
    if (ownNumber < records || ownNumber >= s.foundOrigins.size()) return std::nullopt;
    const FoundRecordOrigin& origin = s.foundOrigins[ownNumber];
    if (!origin.numbered || origin.volume != kLiveVolume || origin.number >= records)
        return std::nullopt;
    return origin.number;
}
std::uint32_t ScanEngine::RecordNumberOf(std::uint32_t ownNumber) const {
    const ScanState& s = *state_;
    if (s.mftMap.recordCount() != 0 || ownNumber >= s.foundOrigins.size()) return ownNumber;
    const FoundRecordOrigin& origin = s.foundOrigins[ownNumber];
    return origin.numbered && origin.volume == kLiveVolume ? origin.number : ownNumber;
}
std::uint32_t ScanEngine::MftNumberOf(std::uint32_t ownNumber) const {
    return state_->MftNumberOf(ownNumber);
}
bool ScanEngine::ReadRecordBeside(std::uint32_t ownNumber, std::uint32_t mftNumber,
                                  RecordBuffer& record) {
    return state_->ReadRecordBeside(ownNumber, mftNumber, record);
}
std::uint32_t ScanEngine::unverifiedEntries() const {
    return state_->unverifiedEntries;
}
void ScanEngine::ReadRecordsAhead(const std::vector<std::uint32_t>& numbers, const StopFlag* stop) {
    ScanState& s = *state_;
    std::vector<RequestRecorder::Request> requests;
    for (const std::uint32_t number : numbers) {
        const auto place = s.mftMap.Locate(RecordNumber(number));
        for (std::size_t i = 0; place && i < place->count; ++i)
            requests.push_back({place->pieces[i].start.value(), place->pieces[i].sectors * 512ull});
    }
    s.recordsAhead = std::make_unique<ReadAheadSource>(*s.source);
    s.recordsAhead->Fill(std::move(requests), stop, kRecordsAheadBytes);
}

void ScanEngine::ForgetRecordsAhead() {
    state_->recordsAhead.reset();
}

std::optional<RecordPlace> ScanEngine::MftRecordPlace(std::uint32_t number) const {
    return state_->mftMap.Locate(RecordNumber(number));
}

SectorSource& ScanEngine::source() {
    return *state_->source;
}

bool ScanEngine::VisitMftRecords(const RecordVisitor& visit, const StopFlag* stop) {
    if (state_->mftMap.recordCount() == 0) return false;
    MftRecordStream stream(*state_->source, state_->mftMap);
    RecordNumber number;
    RecordBuffer bytes(state_->recordSize());
    bool readable = false;
    while ((stop == nullptr || !stop->load()) && stream.Next(number, bytes, readable))
        if (readable) visit(number.value(), bytes);
    return true;
}
std::uint64_t ScanEngine::mftRecordCount() const {
    return state_->mftMap.recordCount();
}

bool ScanState::ReadRecord(RecordNumber record, RecordBuffer& bytes) {
    bytes.assign(recordSize(), 0);
    if (record.value() <= UINT32_MAX &&
        recordCache.Fetch(static_cast<std::uint32_t>(record.value()), bytes))
        return true;
    const auto place = mftMap.Locate(record);
    if (!place) return false;
    if (recordsAhead) {
        std::size_t at = 0;
        bool held = true;
        for (std::size_t i = 0; i < place->count && held; ++i) {
            const std::size_t length = std::size_t{place->pieces[i].sectors} * 512;
            held = at + length <= bytes.size() &&
                   recordsAhead->ReadHeld(place->pieces[i].start,
                                          std::span(bytes).subspan(at, length));
            at += length;
        }
        if (held && at == bytes.size()) return true;
    }
    return ReadRecordPieces(*source, *place, bytes);
}

bool ScanState::ReadRecordAt(DriveSector sector, RecordBuffer& bytes) {
    bytes.assign(recordSize(), 0);
    return !bytes.empty() && source->Read(sector, bytes);
}

bool ScanState::ReadCataloguedRecord(std::uint32_t ownNumber, RecordBuffer& bytes) {
    if (ownNumber < mftMap.recordCount()) return ReadRecord(RecordNumber(ownNumber), bytes);
    if (ownNumber >= foundRecords.size()) return false;
    return ReadRecordAt(foundRecords[ownNumber], bytes);
}

const FoundVolume* ScanState::VolumeOf(std::uint32_t ownNumber) const {
    if (ownNumber < mftMap.recordCount() || ownNumber >= foundOrigins.size()) return nullptr;
    const std::uint8_t volume = foundOrigins[ownNumber].volume;
    return volume < foundVolumes.size() ? &foundVolumes[volume] : nullptr;
}

SectorSource& ScanState::SourceOf(std::uint32_t ownNumber) {
    const FoundVolume* volume = VolumeOf(ownNumber);
    if (volume == nullptr || volume->start.value() == 0) return *source;
    if (!shiftedSource || shiftedSource->shift() != volume->start.value()) {
        shiftedSource = std::make_unique<ShiftedSectorSource>(*source, volume->start.value());
    }
    return *shiftedSource;
}

std::uint32_t ScanState::MftNumberOf(std::uint32_t ownNumber) const {
    if (ownNumber < mftMap.recordCount() || ownNumber >= foundOrigins.size()) return ownNumber;
    const FoundRecordOrigin& origin = foundOrigins[ownNumber];
    return origin.numbered ? origin.number : ownNumber;
}

bool ScanState::ReadRecordBeside(std::uint32_t ownNumber, std::uint32_t mftNumber,
                                 RecordBuffer& bytes) {
    const bool found = ownNumber >= mftMap.recordCount() && ownNumber < foundOrigins.size() &&
                       foundOrigins[ownNumber].numbered;
    const std::uint8_t volume = found ? foundOrigins[ownNumber].volume : kLiveVolume;
    // The live volume's records are numbered by the MFT when it was read.
    if (!found || (volume == kLiveVolume && mftMap.recordCount() != 0)) {
        return ReadCataloguedRecord(mftNumber, bytes);
    }
    const auto it = foundByNumber.find((std::uint64_t{volume} << 32) | mftNumber);
    return it != foundByNumber.end() && ReadRecordAt(foundRecords[it->second], bytes);
}

std::uint32_t ScanState::ClusterSectorsOf(std::uint32_t ownNumber) const {
    const FoundVolume* volume = VolumeOf(ownNumber);
    return volume != nullptr && volume->sectorsPerCluster != 0 ? volume->sectorsPerCluster
                                                               : geometry.sectorsPerCluster;
}

}  // namespace tarvik
