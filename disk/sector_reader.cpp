#include "disk/sector_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "disk/disk_table.h"

namespace tarvik {

int OpenDiskDevice(DriveCode code) {
    const auto entry = Disks().EntryFor(code);
    if (!entry) return -1;
    return ::open(entry->path.c_str(), O_RDONLY | O_CLOEXEC);
}

std::unique_ptr<DiskImage> OpenDiskReader(DriveCode code) {
    const auto entry = Disks().EntryFor(code);
    if (!entry) {
        errno = ENOENT;
        return nullptr;
    }
    return OpenDiskImage(entry->path);
}

long long ReadFully(int fd, std::uint64_t offset, std::span<std::uint8_t> buffer,
                    PreadFunction read) {
    if (read == nullptr) read = ::pread;
    std::uint64_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got =
            read(fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::uint64_t>(got);
    }
    return static_cast<long long>(done);
}

namespace {

std::uint64_t JoinSector(std::uint32_t low, std::uint32_t high) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

}  // namespace

DiskHandle::~DiskHandle() {
    CloseLocked();
}

void DiskHandle::CloseLocked() {
    disk_.reset();
}

bool DiskHandle::ReadOnce(DiskSector sector, std::span<std::uint8_t> buffer) {
    // pread takes a signed offset: a request past it can only fail.
    const auto offset = ByteOffsetOf(sector, kSectorSize);
    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    if (!offset || offset->value() > kMaxOffset - buffer.size()) return false;

    const std::lock_guard lock(mutex_);
    if (!disk_) disk_ = OpenDiskReader(code_);
    if (!disk_) return false;
    const long long got = disk_->ReadAt(offset->value(), buffer);
    if (got < 0 || (got == 0 && !buffer.empty())) {
        CloseLocked();
        return false;
    }
    const auto filled = static_cast<std::size_t>(got);
    std::memset(buffer.data() + filled, 0, buffer.size() - filled);
    return true;
}

bool DiskHandle::Read(DiskSector sector, std::span<std::uint8_t> buffer) {
    for (int tries = 0; tries < kReadAttempts; ++tries) {
        if (ReadOnce(sector, buffer)) return true;
    }
    return false;
}

bool ReadSectorsOnce(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh,
                     void* buffer, std::uint32_t byteCount) {
    DiskHandle disk(code);
    return disk.ReadOnce(DiskSector(JoinSector(sectorLow, sectorHigh)),
                         std::span(static_cast<std::uint8_t*>(buffer), byteCount));
}

int ReadSectorsWith(const ReadAttempt& attempt, DriveCode code, std::uint32_t sectorLow,
                    std::uint32_t sectorHigh, void* buffer, std::uint32_t byteCount) {
    for (int tries = 0; tries < kReadAttempts; ++tries) {
        if (attempt(code, sectorLow, sectorHigh, buffer, byteCount)) return 1;
    }
    return 0;
}

int ReadSectors(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh, void* buffer,
                std::uint32_t byteCount) {
    return ReadSectorsWith(ReadSectorsOnce, code, sectorLow, sectorHigh, buffer, byteCount);
}

bool ReadSectors(DriveCode code, DiskSector sector, std::span<std::uint8_t> buffer) {
    DiskHandle disk(code);
    return disk.Read(sector, buffer);
}

}  // namespace tarvik
