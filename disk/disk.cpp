#include "disk/disk.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>

#include "disk/sector_reader.h"
#include "disk/sector_size.h"

namespace tarvik {

namespace {

// Nothing inside when the path could not be opened: asked again next time.
std::optional<std::optional<std::uint32_t>> DeviceLogicalSectorSize(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::uint32_t> size;
    struct stat info {};
    int bytes = 0;
    if (::fstat(fd, &info) == 0 && S_ISBLK(info.st_mode) && ::ioctl(fd, BLKSSZGET, &bytes) == 0 &&
        bytes >= 512)
        size = static_cast<std::uint32_t>(bytes);
    ::close(fd);
    return size;
}

}  // namespace

Disk::Disk(std::string path, bool isImage, std::size_t number)
    : path_(std::move(path)), isImage_(isImage), number_(number) {}

bool Disk::EnsureOpenLocked() {
    if (reader_) return true;
    DiskImageOpening opening = OpenDiskImage(path_);
    if (!opening.image) {
        failure_ = std::move(opening);
        return false;
    }
    reader_ = std::move(opening.image);
    failure_ = {};
    if (!byteSize_) byteSize_ = reader_->Size();
    return true;
}

void Disk::CloseLocked() {
    reader_.reset();
}

Disk::Outcome Disk::ReadOnce(DiskSector sector, std::span<std::uint8_t> buffer) {
    // pread takes a signed offset: no disk holds anything past it.
    const auto offset = ByteOffsetOf(sector, kSectorSize);
    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    if (!offset || offset->value() > kMaxOffset - buffer.size()) {
        std::memset(buffer.data(), 0, buffer.size());
        return Outcome::kShort;
    }

    const std::lock_guard lock(mutex_);
    if (!EnsureOpenLocked()) return Outcome::kFailed;
    TraceRead(offset->value(), buffer.size());
    const long long got = reader_->ReadAt(offset->value(), buffer);
    if (got < 0) {
        CloseLocked();
        return Outcome::kFailed;
    }
    const auto filled = static_cast<std::size_t>(got);
    std::memset(buffer.data() + filled, 0, buffer.size() - filled);
    return filled == buffer.size() ? Outcome::kRead : Outcome::kShort;
}

bool Disk::ReadWithRetries(const std::function<Outcome()>& attempt) {
    for (int tries = 0; tries < kReadAttempts; ++tries) {
        const Outcome outcome = attempt();
        if (outcome != Outcome::kFailed) return outcome == Outcome::kRead;
    }
    return false;
}

bool Disk::Read(DiskSector sector, std::span<std::uint8_t> buffer) {
    return ReadWithRetries([&] { return ReadOnce(sector, buffer); });
}

std::optional<std::uint64_t> Disk::ByteSize() {
    const std::lock_guard lock(mutex_);
    if (!byteSize_) EnsureOpenLocked();
    return byteSize_;
}

std::optional<std::uint64_t> Disk::SectorCount() {
    const auto bytes = ByteSize();
    if (!bytes) return std::nullopt;
    return *bytes / kSectorSize;
}

std::optional<DiskGeometry> Disk::Geometry() {
    const auto sectors = SectorCount();
    if (!sectors) return std::nullopt;
    return GeometryForSectors(*sectors);
}

std::optional<std::uint32_t> Disk::LogicalSectorSize() {
    const std::lock_guard lock(mutex_);
    if (!logicalSectorSize_) logicalSectorSize_ = DeviceLogicalSectorSize(path_);
    return logicalSectorSize_.value_or(std::nullopt);
}

int Disk::OpenError() {
    const std::lock_guard lock(mutex_);
    return failure_.error;
}

std::string Disk::OpenProblem() {
    const std::lock_guard lock(mutex_);
    return failure_.error == 0 ? std::string() : failure_.Problem();
}

}  // namespace tarvik
