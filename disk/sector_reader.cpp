#include "disk/sector_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// With TARVIK_READ_TRACE=FILE every read request of the disk is appended to FILE as
// "BYTE_OFFSET LENGTH", one line each, so that the order of the reads (and what a
// spinning disk would make of it) can be measured. Unset, nothing is traced.
class ReadTrace {
  public:
    ReadTrace() {
        const char* path = std::getenv("TARVIK_READ_TRACE");
        if (path != nullptr && *path != '\0') file_ = std::fopen(path, "ae");
    }
    ~ReadTrace() {
        if (file_ != nullptr) std::fclose(file_);
    }
    ReadTrace(const ReadTrace&) = delete;
    ReadTrace& operator=(const ReadTrace&) = delete;

    void Record(std::uint64_t offset, std::size_t length) {
        if (file_ == nullptr) return;
        const std::lock_guard lock(mutex_);
        std::fprintf(file_, "%llu %zu\n", static_cast<unsigned long long>(offset), length);
    }

  private:
    std::FILE* file_ = nullptr;
    std::mutex mutex_;
};

void TraceRead(std::uint64_t offset, std::size_t length) {
    static ReadTrace trace;
    trace.Record(offset, length);
}

std::uint64_t JoinSector(std::uint32_t low, std::uint32_t high) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

}  // namespace

DiskHandle::~DiskHandle() {
    CloseLocked();
}

void DiskHandle::CloseLocked() {
    disk_.reset();
    sectorCount_.reset();
}

DiskHandle::Outcome DiskHandle::ReadOnce(DiskSector sector, std::span<std::uint8_t> buffer) {
    // pread takes a signed offset: no disk holds anything past it.
    const auto offset = ByteOffsetOf(sector, kSectorSize);
    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    if (!offset || offset->value() > kMaxOffset - buffer.size()) {
        std::memset(buffer.data(), 0, buffer.size());
        return Outcome::kShort;
    }

    const std::lock_guard lock(mutex_);
    if (!disk_) disk_ = OpenDiskReader(code_);
    if (!disk_) return Outcome::kFailed;
    TraceRead(offset->value(), buffer.size());
    const long long got = disk_->ReadAt(offset->value(), buffer);
    if (got < 0) {
        CloseLocked();
        return Outcome::kFailed;
    }
    const auto filled = static_cast<std::size_t>(got);
    std::memset(buffer.data() + filled, 0, buffer.size() - filled);
    return filled == buffer.size() ? Outcome::kRead : Outcome::kShort;
}

bool DiskHandle::Read(DiskSector sector, std::span<std::uint8_t> buffer) {
    for (int tries = 0; tries < kReadAttempts; ++tries) {
        const Outcome outcome = ReadOnce(sector, buffer);
        if (outcome != Outcome::kFailed) return outcome == Outcome::kRead;
    }
    return false;
}

std::optional<std::uint64_t> DiskHandle::SectorCount() {
    const std::lock_guard lock(mutex_);
    if (sectorCount_) return sectorCount_;
    if (!disk_) disk_ = OpenDiskReader(code_);
    if (!disk_) return std::nullopt;
    if (const auto bytes = disk_->Size()) sectorCount_ = *bytes / kSectorSize;
    return sectorCount_;
}

bool ReadSectorsOnce(DriveCode code, std::uint32_t sectorLow, std::uint32_t sectorHigh,
                     void* buffer, std::uint32_t byteCount) {
    DiskHandle disk(code);
    return disk.ReadOnce(DiskSector(JoinSector(sectorLow, sectorHigh)),
                         std::span(static_cast<std::uint8_t*>(buffer), byteCount)) ==
           DiskHandle::Outcome::kRead;
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
