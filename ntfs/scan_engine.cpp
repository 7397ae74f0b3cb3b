#include "ntfs/scan_engine.h"

#include "ntfs/boot_sector.h"
#include "ntfs/scan_texts.h"

namespace tarvik {

ScanEngine::ScanEngine(DriveCode code) : driveCode(code) {}

ScanEngine::ScanEngine(DriveCode code, std::unique_ptr<SectorSource> source)
    : driveCode(code), source_(std::move(source)) {}

void ScanEngine::SetDrive(std::uint32_t first, std::uint32_t size) {
    firstSector = first;
    sizeInSectors = size;
    lastSector = first + size - 1;
    if (!source_) source_ = std::make_unique<DiskSectorSource>(driveCode, DiskSector(first));
}

namespace {

std::optional<NtfsBootSector> ReadBootCopy(SectorSource& source, std::uint64_t sector) {
    std::array<std::uint8_t, NtfsBootSector::kSize> bytes{};
    if (!source.Read(sector, bytes)) return std::nullopt;
    auto boot = NtfsBootSector::Parse(ByteView(bytes.data(), bytes.size()));
    if (!boot || !boot->PassesQuickTest() || !boot->SectorsPerCluster()) return std::nullopt;
    return boot;
}

}  // namespace

bool ScanEngine::ValidateBootSector(Notifier& notifier) {
    if (!source_ || sizeInSectors == 0) return false;
    auto boot = ReadBootCopy(*source_, 0);
    if (!boot) boot = ReadBootCopy(*source_, lastSector - firstSector);
    if (!boot) {
        notifier.Notify(kFatDriveText, kInvalidDriveCaption, NoticeIcon::Warning);
        return false;
    }
    sectorsPerCluster = *boot->SectorsPerCluster();
    mftStart = static_cast<std::uint32_t>(sectorsPerCluster * (boot->mftCluster() & 0xFFFFFFFFu));
    mftMirrorStart =
        static_cast<std::uint32_t>(sectorsPerCluster * (boot->mftMirrorCluster() & 0xFFFFFFFFu));
    return true;
}

bool ScanEngine::ReadRecord(std::uint64_t recordNumber, MftRecordBytes& record) {
    const auto place = mftMap_.Locate(recordNumber);
    if (!place) return false;
    if (!source_->Read(place->firstSector, record)) return false;
    if (place->secondSector) {
        return source_->Read(*place->secondSector, std::span(record).subspan(512));
    }
    return true;
}

bool ScanEngine::ReadCataloguedRecord(std::uint32_t ownNumber, MftRecordBytes& record) {
    if (ownNumber < mftMap_.recordCount()) return ReadRecord(ownNumber, record);
    if (ownNumber >= mftSectorTable.size()) return false;
    const std::uint32_t sector = mftSectorTable[ownNumber];
    if (sector < firstSector) return false;
    return source_->Read(sector - firstSector, record);
}

}  // namespace tarvik
